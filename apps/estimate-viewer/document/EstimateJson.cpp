#include "EstimateJson.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSaveFile>

#include <simdjson.h>

#include <algorithm>
#include <thread>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace simdjson;

namespace {

const char formatName[] = "itemviews-estimate";
constexpr int progressStride = 4096; // rows between progress reports and cancel checks
constexpr int maxSharedTexts = 65536;
constexpr size_t maxSharedLength = 1024; // a longer text rarely repeats, and a copy kept to share it would double it

struct RowTypeName
{
    std::string_view name;
    int type;
};
const RowTypeName rowTypeNames[] = {
    {"section", EstimateRowType::Section}, {"subsection", EstimateRowType::SubSection}, {"item", EstimateRowType::Item},
    {"subitem", EstimateRowType::SubItem}, {"note", EstimateRowType::Note},             {"subtotal", EstimateRowType::Subtotal},
};

int rowTypeOf(std::string_view name)
{
    for (const RowTypeName& entry : rowTypeNames) {
        if (entry.name == name)
            return entry.type;
    }
    return 0;
}

std::string_view rowTypeName(int type)
{
    for (const RowTypeName& entry : rowTypeNames) {
        if (entry.type == type)
            return entry.name;
    }
    return {};
}

struct FieldKey
{
    std::string_view key;
    int field;
    bool repeats = false; // the same text recurs on many rows
};
const FieldKey textFields[] = {{"code", EstimateField::Code}, {"name", EstimateField::Name, true}, {"unit", EstimateField::Unit, true}};
const FieldKey numberFields[] = {
    {"quantity", EstimateField::Quantity}, {"unitPrice", EstimateField::UnitPrice}, {"total", EstimateField::Total}};

// Where something was met; put into words only when something is wrong there.
struct Place
{
    const char* scope = "top level"; // named above the works
    int work = -1;
    int table = -1;
    int row = -1;
    const char* key = nullptr;
    int item = -1; // element of an array field

    Place at(const char* fieldKey, int itemPos = -1) const
    {
        Place place = *this;
        place.key = fieldKey;
        place.item = itemPos;
        return place;
    }
    QString text() const
    {
        QString text = work < 0 ? QString::fromLatin1(scope) : QStringLiteral("works[%1]").arg(work);
        if (table >= 0)
            text += QStringLiteral(".tables[%1]").arg(table);
        if (row >= 0)
            text += QStringLiteral(".rows[%1]").arg(row);
        if (key)
            text += QLatin1Char('.') + QLatin1String(key);
        if (item >= 0)
            text += QStringLiteral("[%1]").arg(item);
        return text;
    }
};

// The start of a file summed up, so that its bytes can be handed back to the system once read.
struct TextStart
{
    size_t length = 0;
    int newlines = 0;
    int lastLineCharacters = 0; // characters after the last newline
};

int characters(const char* text, size_t from, size_t to)
{
    int count = 0;
    for (size_t at = from; at < to; ++at)
        count += (uchar(text[at]) & 0xC0) != 0x80; // characters, not UTF-8 bytes
    return count;
}

TextStart summarize(const char* text, size_t length, const TextStart& before)
{
    TextStart start{length, before.newlines, 0};
    for (const char* at = text + before.length; (at = static_cast<const char*>(memchr(at, '\n', size_t(text + length - at))));
         ++at)
        ++start.newlines; // memchr skips a row's bytes many at a time
    const void* lastNewline = memrchr(text + before.length, '\n', length - before.length);
    const size_t lineStart = lastNewline ? size_t(static_cast<const char*>(lastNewline) - text) + 1 : before.length;
    start.lastLineCharacters = (lastNewline ? 0 : before.lastLineCharacters) + characters(text, lineStart, length);
    return start;
}

QString lineAndColumn(const char* text, size_t offset, const TextStart& skipped)
{
    const TextStart upToOffset = summarize(text, offset, skipped);
    return QStringLiteral("line %1, column %2").arg(upToOffset.newlines + 1).arg(upToOffset.lastLineCharacters + 1);
}

// Gives the pages of text already read back to the system: a file of a million rows need not stay whole.
void discard(const char* from, const char* to)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (uintptr_t(from) + page - 1) / page * page;
    const uintptr_t last = uintptr_t(to) / page * page;
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

// Bytes a UTF-8 sequence starting with this byte continues over, or -1 for a byte no sequence starts with.
int utf8Continuations(uchar lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead < 0xE0)
        return 1;
    if (lead >= 0xE0 && lead < 0xF0)
        return 2;
    return lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
}

// The parser's first pass names no place for a raw control character, an unclosed string or bad UTF-8.
size_t firstBadTextOffset(const char* text, size_t length)
{
    bool inString = false;
    size_t stringStart = 0;
    for (size_t at = 0; at < length; ++at) {
        const uchar byte = uchar(text[at]);
        const int continuations = utf8Continuations(byte);
        if ((inString && byte < 0x20) || continuations < 0)
            return at;
        for (int next = 1; next <= continuations; ++next) {
            if (at + next >= length || (uchar(text[at + next]) & 0xC0) != 0x80)
                return at;
        }
        at += continuations;
        if (byte == '"') {
            inString = !inString;
            stringStart = at;
        } else if (inString && byte == '\\') {
            ++at;
        }
    }
    return inString ? stringStart : length;
}

// A scalar as written, without the white space after it; empty where a value is missing (`"id": ,`).
std::string_view tokenText(std::string_view raw)
{
    if (raw.empty() || std::strchr(",:]}", raw.front()))
        return {};
    const size_t end = raw.find_last_not_of(" \t\n\r");
    return raw.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

// JSON's number grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; integer: without fraction or exponent.
bool isJsonNumber(std::string_view token, bool integer = false)
{
    size_t at = token.substr(0, 1) == "-" ? 1 : 0;
    auto digits = [&] {
        const size_t start = at;
        while (at < token.size() && token[at] >= '0' && token[at] <= '9')
            ++at;
        return at - start;
    };
    const size_t intDigits = digits();
    if (intDigits == 0 || (intDigits > 1 && token[at - intDigits] == '0'))
        return false;
    if (!integer && at < token.size() && token[at] == '.' && (++at, digits() == 0))
        return false;
    if (!integer && at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
        at += at + 1 < token.size() && (token[at + 1] == '+' || token[at + 1] == '-') ? 2 : 1;
        if (digits() == 0)
            return false;
    }
    return at == token.size();
}

// Text from the file for a message: bounded, with control and invisible characters spelt as escapes.
QString printable(std::string_view text)
{
    constexpr int shown = 40;
    const QString decoded = QString::fromUtf8(text.data(), int(qMin<size_t>(text.size(), 4 * shown)));
    QString printed;
    for (int at = 0; at < decoded.size() && at < shown; ++at) {
        const QChar character = decoded.at(at);
        const bool visible = character.isPrint() && (character == QLatin1Char(' ') || !character.isSpace());
        printed += visible ? QString(character) : QStringLiteral("\\u%1").arg(character.unicode(), 4, 16, QLatin1Char('0'));
    }
    return decoded.size() > shown || text.size() > 4 * shown ? printed + QChar(0x2026) : printed;
}

// A field's key as written, not copied out: only a key holding an escape needs unescaping.
error_code keyOf(ondemand::field& field, std::string_view* key)
{
    const char* start = field.key().raw();
    const char* end = start;
    while (*end != '"' && *end != '\\') // the first pass has found the closing quote
        ++end;
    if (*end == '\\')
        return field.unescaped_key().get(*key);
    *key = std::string_view(start, size_t(end - start));
    return SUCCESS;
}

// The text of an array or object, skipped over without being checked.
template<typename Container>
error_code rawText(simdjson_result<Container> container, std::string_view* raw)
{
    Container opened;
    const error_code code = std::move(container).get(opened);
    return code != SUCCESS ? code : opened.raw_json().get(*raw);
}

struct LoadedRow
{
    TreeBaseItem* row = nullptr;
    qint64 id = 0;
    qint64 parentId = 0;
    bool hasParent = false; // a flag, not a reserved id: every 64-bit id is a valid id
    bool hasId = false;
    bool hasType = false;
    int level = -1; // -1: not stored
    QVector<qint64> spans;
};
} // namespace
// A million of them grow one vector: moved as bytes, not copied one by one.
Q_DECLARE_TYPEINFO(LoadedRow, Q_MOVABLE_TYPE);
namespace {

// Row positions by id in one flat table: a million ids cost one allocation, not one each. The ids
// come from the file, so they are mixed with a seed of this process before they pick a slot.
class PositionById
{
public:
    explicit PositionById(int rows) : m_seed(QRandomGenerator::global()->generate64())
    {
        while ((size_t(1) << m_bits) < 2 * size_t(qMax(rows, 1)))
            ++m_bits;
        m_slots.assign(size_t(1) << m_bits, Slot());
    }
    /// False, changing nothing, when another row has the id already.
    bool insert(qint64 id, int position)
    {
        for (size_t at = slotOf(id);; at = (at + 1) & mask()) {
            Slot& slot = m_slots[at];
            if (slot.position < 0) {
                slot = Slot{id, position};
                return true;
            }
            if (slot.id == id)
                return false;
        }
    }
    /// The position of the row with the id, or fallback.
    int value(qint64 id, int fallback) const
    {
        for (size_t at = slotOf(id);; at = (at + 1) & mask()) {
            const Slot& slot = m_slots[at];
            if (slot.position < 0 || slot.id == id)
                return slot.position < 0 ? fallback : slot.position;
        }
    }

private:
    struct Slot
    {
        qint64 id = 0;
        int position = -1;
    };
    size_t mask() const { return m_slots.size() - 1; }
    size_t slotOf(qint64 id) const
    {
        quint64 mixed = quint64(id) ^ m_seed; // splitmix64's finaliser
        mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ULL;
        mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebULL;
        return size_t(mixed ^ (mixed >> 31)) & mask();
    }

    quint64 m_seed;
    int m_bits = 4;
    std::vector<Slot> m_slots;
};

// True when every row follows its parent and its parent's earlier descendants: the tree's pre-order.
bool isPreOrder(const QVector<int>& parentPositions)
{
    std::vector<int> path; // the last row and its ancestors
    for (int rowPos = 0; rowPos < parentPositions.size(); ++rowPos) {
        const int parentPos = parentPositions.at(rowPos);
        while (!path.empty() && path.back() != parentPos)
            path.pop_back();
        if (parentPos >= 0 && path.empty())
            return false;
        path.push_back(rowPos);
    }
    return true;
}

// Typed reads over the parser that remember the first problem together with where it was met.
class Reader
{
public:
    Reader(const char* text, size_t length, size_t capacity, LoadProgress* progress, int threads = 1)
        : Reader(text, length, text, length, capacity, progress)
    {
        m_threads = threads;
    }
    /// A reader of a part of a file, such as one work; places and line numbers stay those of the whole file.
    Reader(const char* file, size_t fileLength, const char* text, size_t length, size_t capacity, LoadProgress* progress)
        : m_file(file), m_fileLength(fileLength), m_text(text), m_length(length), m_capacity(capacity), m_progress(progress),
          m_lastReported(text)
    {
    }

    std::unique_ptr<Estimate> read(QString* problem)
    {
        auto estimate = std::make_unique<Estimate>();
        std::vector<std::string_view> workTexts;
        if (!readDocument(*estimate, &workTexts) || !readWorks(*estimate, workTexts)) {
            *problem = m_problem;
            return nullptr;
        }
        estimate->relateReviewed();
        return estimate;
    }

private:
    bool fail(const Place& place, const QString& problem)
    {
        m_problem = place.text() + QStringLiteral(": ") + problem;
        return false;
    }
    bool syntaxError(error_code code)
    {
        const char* location = nullptr;
        const bool located = m_iterated && m_document.current_location().get(location) == SUCCESS;
        return syntaxErrorAt(located ? location : m_text + firstBadTextOffset(m_text, m_length), code);
    }
    bool syntaxErrorAt(const char* location, error_code code)
    {
        const size_t offset = size_t(location - m_file);
        m_problem = lineAndColumn(m_file, qMin(offset, m_fileLength), *m_skipped) + QStringLiteral(": ") + QString::fromUtf8(error_message(code));
        return false;
    }
    bool check(error_code code, const Place& place, const char* expected)
    {
        if (code == SUCCESS)
            return true;
        const char* location = nullptr;
        if (code != INCORRECT_TYPE)
            return syntaxError(code);
        // A value of the wrong type past the last byte is the end of a truncated file.
        return m_document.current_location().get(location) == SUCCESS ? fail(place, QString::fromLatin1(expected))
                                                                      : syntaxError(INCOMPLETE_ARRAY_OR_OBJECT);
    }

    bool wholeNumber(ondemand::value& value, const Place& place, qint64 lowest, qint64 highest, qint64* number)
    {
        int64_t read = 0;
        const error_code code = value.get_int64().get(read);
        if (code == SUCCESS && read >= lowest && read <= highest) {
            *number = read;
            return true;
        }
        const std::string_view token = tokenText(value.raw_json_token());
        if (code != SUCCESS && !isJsonNumber(token, true)) // a valid integer the type cannot hold is out of range
            return notTheNumber(value, place, "expected a whole number");
        return fail(place, QStringLiteral("%1 is out of range (%2 to %3)").arg(printable(token)).arg(lowest).arg(highest));
    }
    bool intNumber(ondemand::value& value, const Place& place, int* number, int lowest = INT_MIN)
    {
        qint64 read = 0;
        if (!wholeNumber(value, place, lowest, INT_MAX, &read))
            return false;
        *number = int(read);
        return true;
    }
    bool finiteNumber(ondemand::value& value, const Place& place, double* number)
    {
        const error_code code = value.get_double().get(*number);
        if (code == SUCCESS)
            return true;
        const std::string_view token = tokenText(value.raw_json_token());
        if (code != NUMBER_ERROR || !isJsonNumber(token))
            return notTheNumber(value, place, "expected a number");
        return fail(place, QStringLiteral("%1 is not a finite number").arg(printable(token)));
    }
    // Why a value is not the number asked for: the file ends inside it, it has another type, or it is no value at all.
    bool notTheNumber(ondemand::value& value, const Place& place, const char* expected)
    {
        const std::string_view raw = value.raw_json_token();
        if (raw.data() + raw.size() >= m_file + m_fileLength)
            return syntaxErrorAt(raw.data(), INCOMPLETE_ARRAY_OR_OBJECT);
        const std::string_view token = tokenText(raw);
        ondemand::json_type type;
        if (value.type().get(type) == SUCCESS && (type != ondemand::json_type::number || isJsonNumber(token)))
            return check(INCORRECT_TYPE, place, expected);
        return fail(place, token.empty() ? QStringLiteral("the value is missing") : QStringLiteral("%1 is not a number").arg(printable(token)));
    }
    bool text(ondemand::value& value, const Place& place, QString* text, bool repeats = false)
    {
        std::string_view read;
        if (!check(value.get_string().get(read), place, "expected a string"))
            return false;
        *text = repeats && read.size() <= maxSharedLength ? sharedText(read) : QString::fromUtf8(read.data(), int(read.size()));
        return true;
    }
    // Descriptions and units repeat across an estimate: rows share one copy of each (up to a bound).
    QString sharedText(std::string_view text)
    {
        const auto found = m_texts.constFind(QByteArray::fromRawData(text.data(), int(text.size())));
        if (found != m_texts.constEnd())
            return found.value();
        const QString decoded = QString::fromUtf8(text.data(), int(text.size()));
        if (m_texts.size() < maxSharedTexts)
            m_texts.insert(QByteArray(text.data(), int(text.size())), decoded);
        return decoded;
    }
    bool flag(ondemand::value& value, const Place& place, bool* flag)
    {
        return check(value.get_bool().get(*flag), place, "expected true or false");
    }

    // Calls readField(key, value) for every field of an object, in file order.
    template<typename ReadField>
    bool fields(ondemand::value& value, const Place& place, ReadField readField)
    {
        ondemand::object object;
        if (!check(value.get_object().get(object), place, "expected an object"))
            return false;
        for (auto entry : object) {
            ondemand::field field;
            std::string_view key;
            if (!check(std::move(entry).get(field), place, "expected a field") || !check(keyOf(field, &key), place, "expected a key"))
                return false;
            if (!readField(key, field.value()))
                return false;
        }
        return true;
    }
    // Calls readElement(value, position) for every element of an array.
    template<typename ReadElement>
    bool elements(ondemand::value& value, const Place& place, ReadElement readElement)
    {
        ondemand::array array;
        if (!check(value.get_array().get(array), place, "expected an array"))
            return false;
        int position = 0;
        for (auto entry : array) {
            ondemand::value element;
            if (!check(std::move(entry).get(element), place, "expected a value") || !readElement(element, position++))
                return false;
        }
        return true;
    }
    bool unusedValue(ondemand::value& value);
    bool missing(const Place& place, bool present)
    {
        return present || fail(place, QStringLiteral("missing"));
    }

    bool readDocument(Estimate& estimate, std::vector<std::string_view>* workTexts);
    bool readWorks(Estimate& estimate, const std::vector<std::string_view>& workTexts);
    bool readWorkText(Estimate& estimate, Estimate::Work& work, int workPos);
    void forgetReadText(std::string_view readText);
    bool readAudit(ondemand::value& value, Estimate& estimate);
    bool readWork(ondemand::value& value, Estimate& estimate, Estimate::Work& work, const Place& place);
    bool readTable(ondemand::value& value, Estimate& estimate, Estimate::Work& work, const Place& place);
    bool readRow(ondemand::value& value, const Place& place, LoadedRow& loaded);
    bool readRowField(std::string_view key, ondemand::value& value, const Place& place, LoadedRow& loaded);
    bool readParent(ondemand::value& value, const Place& place, LoadedRow& loaded);
    bool readRowType(ondemand::value& value, const Place& place, LoadedRow& loaded);
    bool linkTable(Estimate::Table& table, QVector<LoadedRow>& loaded, const Place& place);
    bool linkParents(const QVector<LoadedRow>& loaded, const PositionById& positionById, QVector<int>* parentPositions,
                     const Place& place);
    bool checkDepths(QVector<LoadedRow>& loaded, const QVector<int>& parentPositions, const Place& place);
    bool reportProgress();

    const char* m_file; // the whole file, which places and line numbers refer to
    size_t m_fileLength;
    TextStart m_readStart; // of the file, once its bytes are discarded
    const TextStart* m_skipped = &m_readStart; // the file's start that line numbers count from
    const char* m_text; // the part of it this reader reads
    size_t m_length;
    size_t m_capacity;
    LoadProgress* m_progress; // not owned, may be null
    const char* m_lastReported;
    int m_threads = 1;
    ondemand::parser m_parser;
    ondemand::parser* m_workParser = &m_parser; // reads this reader's work; may be shared by works read in turn
    ondemand::document m_document;
    dom::parser m_unusedParser; // checks the arrays and objects of fields the reader does not use
    bool m_iterated = false;
    int m_rowsSinceReport = 0;
    QHash<QByteArray, QString> m_texts;
    QString m_problem;
};

// The top level; each work's text is only cut out here, to be read by a parser of its own.
bool Reader::readDocument(Estimate& estimate, std::vector<std::string_view>* workTexts)
{
    const error_code code = m_parser.iterate(m_text, m_length, m_capacity).get(m_document);
    if (code != SUCCESS)
        return syntaxError(code);
    m_iterated = true;
    ondemand::value root;
    const error_code rootCode = m_document.get_value().get(root);
    if (!check(rootCode == SCALAR_DOCUMENT_AS_VALUE ? INCORRECT_TYPE : rootCode, Place(), "expected an object"))
        return false;
    bool formatSeen = false;
    bool worksSeen = false;
    const bool read = fields(root, Place(), [&](std::string_view key, ondemand::value& value) {
        if (key == "format") {
            std::string_view format;
            formatSeen = value.get_string().get(format) == SUCCESS && format == formatName;
            return formatSeen || fail(Place{"format"}, QStringLiteral("expected \"%1\"").arg(QLatin1String(formatName)));
        }
        if (key == "project")
            return text(value, Place().at("project"), &estimate.projectName);
        if (key == "audit")
            return readAudit(value, estimate);
        if (key != "works")
            return unusedValue(value);
        worksSeen = true;
        return elements(value, Place().at("works"), [&](ondemand::value& work, int workPos) {
            Place place;
            place.work = workPos;
            ondemand::object object;
            std::string_view workText;
            return check(work.get_object().get(object), place, "expected an object")
                && check(object.raw_json().get(workText), place, "expected an object") && (workTexts->push_back(workText), true);
        });
    });
    if (!read)
        return false;
    if (!formatSeen)
        return fail(Place{"format"}, QStringLiteral("expected \"%1\"").arg(QLatin1String(formatName)));
    const char* rest = nullptr;
    if (m_document.current_location().get(rest) == SUCCESS)
        return syntaxError(TRAILING_CONTENT);
    return missing(Place().at("works"), worksSeen);
}

// Works are independent: up to m_threads of them are read at once.
bool Reader::readWorks(Estimate& estimate, const std::vector<std::string_view>& workTexts)
{
    m_parser = ondemand::parser(); // the whole file's index is no longer needed
    m_iterated = false;
    std::vector<std::unique_ptr<Reader>> readers;
    std::vector<Estimate::Work*> works;
    // Works read in turn share one index, sized once for the largest: its memory is touched only once.
    auto bySize = [](std::string_view a, std::string_view b) { return a.size() < b.size(); };
    ondemand::parser sharedParser;
    const bool shareParser = m_threads == 1 && !workTexts.empty()
        && sharedParser.allocate(std::max_element(workTexts.cbegin(), workTexts.cend(), bySize)->size()) == SUCCESS;
    for (std::string_view text : workTexts) {
        works.push_back(&estimate.addWork(QString(), 0, 0));
        const size_t capacity = m_capacity - size_t(text.data() - m_text); // the rest of the file pads each work
        readers.push_back(std::make_unique<Reader>(m_file, m_fileLength, text.data(), text.size(), capacity, m_progress));
        readers.back()->m_skipped = &m_readStart;
        if (shareParser)
            readers.back()->m_workParser = &sharedParser;
    }
    std::vector<char> succeeded(workTexts.size(), 0);
    std::atomic<size_t> nextWork{0};
    auto readSome = [&] {
        for (size_t workPos = nextWork++; workPos < workTexts.size(); workPos = nextWork++) {
            succeeded[workPos] = readers[workPos]->readWorkText(estimate, *works[workPos], int(workPos));
            if (m_threads == 1 && succeeded[workPos])
                forgetReadText(workTexts[workPos]);
        }
    };
    std::vector<std::thread> helpers;
    for (int helper = 1; helper < qMin(m_threads, int(workTexts.size())); ++helper)
        helpers.emplace_back(readSome);
    readSome();
    for (std::thread& helper : helpers)
        helper.join();
    for (size_t workPos = 0; workPos < workTexts.size(); ++workPos) {
        if (!succeeded[workPos]) {
            m_problem = readers[workPos]->m_problem;
            return false;
        }
    }
    return true;
}

// Only the line count of text already read is needed again, for an error further on.
void Reader::forgetReadText(std::string_view readText)
{
    const char* end = readText.data() + readText.size();
    const char* start = m_file + m_readStart.length;
    m_readStart = summarize(m_file, size_t(end - m_file), m_readStart);
    discard(start, end);
}

bool Reader::readWorkText(Estimate& estimate, Estimate::Work& work, int workPos)
{
    const error_code code = m_workParser->iterate(m_text, m_length, m_capacity).get(m_document);
    if (code != SUCCESS)
        return syntaxError(code);
    m_iterated = true;
    Place place;
    place.work = workPos;
    ondemand::value root;
    const bool read = check(m_document.get_value().get(root), place, "expected an object") && readWork(root, estimate, work, place);
    m_parser = ondemand::parser(); // an index of its own is as large as the work's text: the next work needs the memory
    m_iterated = false;
    return read;
}

bool Reader::readAudit(ondemand::value& value, Estimate& estimate)
{
    const Place place{"audit"};
    return fields(value, Place().at("audit"), [&](std::string_view key, ondemand::value& nodeId) {
        if (key == "submitted")
            return intNumber(nodeId, place.at("submitted"), &estimate.submittedNodeId);
        if (key == "reviewed")
            return intNumber(nodeId, place.at("reviewed"), &estimate.reviewedNodeId);
        return unusedValue(nodeId);
    });
}

bool Reader::readWork(ondemand::value& value, Estimate& estimate, Estimate::Work& work, const Place& place)
{
    bool nodeIdSeen = false;
    bool tablesSeen = false;
    const bool read = fields(value, place, [&](std::string_view key, ondemand::value& field) {
        int number = 0;
        if (key == "name")
            return text(field, place.at("name"), &work.name);
        if (key == "nodeId") {
            nodeIdSeen = true;
            return intNumber(field, place.at("nodeId"), &number) && (work.work->setNodeId(number), true);
        }
        if (key == "auditId")
            return intNumber(field, place.at("auditId"), &number) && (work.work->setAuditId(number), true);
        if (key != "tables")
            return unusedValue(field);
        tablesSeen = true;
        return elements(field, place.at("tables"), [&](ondemand::value& table, int tablePos) {
            Place tablePlace = place;
            tablePlace.table = tablePos;
            return readTable(table, estimate, work, tablePlace);
        });
    });
    return read && missing(place.at("nodeId"), nodeIdSeen) && missing(place.at("tables"), tablesSeen);
}

bool Reader::readTable(ondemand::value& value, Estimate& estimate, Estimate::Work& work, const Place& place)
{
    Estimate::Table& table = estimate.addTable(work, QString(), 0);
    QVector<LoadedRow> loaded;
    bool tableTypeSeen = false;
    bool rowsSeen = false;
    const bool read = fields(value, place, [&](std::string_view key, ondemand::value& field) {
        int tableType = 0;
        if (key == "name")
            return text(field, place.at("name"), &table.name);
        if (key == "tableType") {
            tableTypeSeen = true;
            return intNumber(field, place.at("tableType"), &tableType) && (table.table->setTableType(tableType), true);
        }
        if (key != "rows")
            return unusedValue(field);
        rowsSeen = true;
        return elements(field, place.at("rows"), [&](ondemand::value& row, int rowPos) {
            Place rowPlace = place;
            rowPlace.row = rowPos;
            loaded.append(LoadedRow());
            loaded.last().row = new TreeBaseItem;
            loaded.last().row->setOwner(table.table.get());
            table.rows.append(loaded.last().row); // owned by the table from here, also when reading fails
            return readRow(row, rowPlace, loaded.last()) && reportProgress();
        });
    });
    return read && missing(place.at("tableType"), tableTypeSeen) && missing(place.at("rows"), rowsSeen)
        && linkTable(table, loaded, place);
}

bool Reader::readRow(ondemand::value& value, const Place& place, LoadedRow& loaded)
{
    const bool read = fields(value, place, [&](std::string_view key, ondemand::value& field) {
        return readRowField(key, field, place, loaded);
    });
    return read && missing(place.at("id"), loaded.hasId) && missing(place.at("type"), loaded.hasType);
}

// The keys a row may have, told apart by length first: a row has a dozen fields and a file millions of rows.
enum class RowKey { Other, Id, Parent, Type, Level, Code, Name, Unit, Quantity, UnitPrice, Total, Height, Expanded, Visible,
                    Collapsable, CurIndex, Spans };

RowKey rowKeyOf(std::string_view key)
{
    auto either = [&key](std::string_view a, RowKey aKey, std::string_view b, RowKey bKey) {
        return key == a ? aKey : key == b ? bKey : RowKey::Other;
    };
    switch (key.size()) {
    case 2:
        return key == "id" ? RowKey::Id : RowKey::Other;
    case 4:
        return key == "code" ? RowKey::Code : key == "name" ? RowKey::Name : either("unit", RowKey::Unit, "type", RowKey::Type);
    case 5:
        return key == "level" ? RowKey::Level : either("total", RowKey::Total, "spans", RowKey::Spans);
    case 6:
        return either("parent", RowKey::Parent, "height", RowKey::Height);
    case 7:
        return key == "visible" ? RowKey::Visible : RowKey::Other;
    case 8:
        return key == "quantity" ? RowKey::Quantity : either("expanded", RowKey::Expanded, "curIndex", RowKey::CurIndex);
    case 9:
        return key == "unitPrice" ? RowKey::UnitPrice : RowKey::Other;
    case 11:
        return key == "collapsable" ? RowKey::Collapsable : RowKey::Other;
    default:
        return RowKey::Other;
    }
}

bool Reader::readRowField(std::string_view key, ondemand::value& value, const Place& place, LoadedRow& loaded)
{
    TreeBaseItem* row = loaded.row;
    const RowKey rowKey = rowKeyOf(key);
    auto textField = [&](const FieldKey& field) {
        QString read;
        return text(value, place.at(field.key.data()), &read, field.repeats) && (row->setValue(field.field, read), true);
    };
    auto numberField = [&](const FieldKey& field) {
        double read = 0;
        return finiteNumber(value, place.at(field.key.data()), &read) && (row->setValue(field.field, read), true);
    };
    double height = 0;
    bool isSet = true;
    int number = 0;
    switch (rowKey) {
    case RowKey::Code:
        return textField(textFields[0]);
    case RowKey::Name:
        return textField(textFields[1]);
    case RowKey::Unit:
        return textField(textFields[2]);
    case RowKey::Quantity:
        return numberField(numberFields[0]);
    case RowKey::UnitPrice:
        return numberField(numberFields[1]);
    case RowKey::Total:
        return numberField(numberFields[2]);
    case RowKey::Id:
        loaded.hasId = true;
        return wholeNumber(value, place.at("id"), LLONG_MIN, LLONG_MAX, &loaded.id)
            && (row->setValue(EstimateField::Id, loaded.id), true);
    case RowKey::Parent:
        return readParent(value, place.at("parent"), loaded);
    case RowKey::Type:
        return readRowType(value, place.at("type"), loaded);
    case RowKey::Level:
        return intNumber(value, place.at("level"), &loaded.level, 0);
    case RowKey::CurIndex:
        return intNumber(value, place.at("curIndex"), &number) && (row->setCurIndex(number), true);
    case RowKey::Height:
        return finiteNumber(value, place.at("height"), &height) && (row->setRowHeight(height), true);
    case RowKey::Expanded:
        return flag(value, place.at("expanded"), &isSet) && (row->setExpanded(isSet), true);
    case RowKey::Visible:
        return flag(value, place.at("visible"), &isSet) && (row->setVisible(isSet), true);
    case RowKey::Collapsable:
        return flag(value, place.at("collapsable"), &isSet) && (row->setCollapsable(isSet), true);
    case RowKey::Spans:
        return elements(value, place.at("spans"), [&](ondemand::value& spanId, int spanPos) {
            loaded.spans.append(0);
            return wholeNumber(spanId, place.at("spans", spanPos), LLONG_MIN, LLONG_MAX, &loaded.spans.last());
        });
    case RowKey::Other:
        break;
    }
    return unusedValue(value);
}

bool Reader::readParent(ondemand::value& value, const Place& place, LoadedRow& loaded)
{
    bool isNull = false;
    if (value.is_null().get(isNull) == SUCCESS && isNull)
        return true;
    loaded.hasParent = true;
    return wholeNumber(value, place, LLONG_MIN, LLONG_MAX, &loaded.parentId);
}

bool Reader::readRowType(ondemand::value& value, const Place& place, LoadedRow& loaded)
{
    std::string_view typeName;
    loaded.hasType = true;
    if (!check(value.get_string().get(typeName), place, "expected a string"))
        return false;
    loaded.row->setRowType(rowTypeOf(typeName));
    return loaded.row->getRowType() != 0
        || fail(place, QStringLiteral("unknown row type \"%1\"").arg(printable(typeName)));
}

// The parser checks only the values it is asked for, so `"extra": tru` would pass unseen: an unused
// scalar is read and dropped, an unused array or object goes through the plain parser, which checks
// nesting without recursion (up to its depth limit).
bool Reader::unusedValue(ondemand::value& value)
{
    ondemand::json_type type;
    if (value.type().get(type) != SUCCESS)
        return syntaxError(TAPE_ERROR);
    bool isNull = false;
    switch (type) {
    case ondemand::json_type::string:
        return value.get_string().error() == SUCCESS || syntaxError(STRING_ERROR);
    case ondemand::json_type::number:
        return value.get_number().error() == SUCCESS || syntaxError(NUMBER_ERROR);
    case ondemand::json_type::boolean:
        return value.get_bool().error() == SUCCESS || syntaxError(T_ATOM_ERROR);
    case ondemand::json_type::null:
        return (value.is_null().get(isNull) == SUCCESS && isNull) || syntaxError(N_ATOM_ERROR);
    default:
        break;
    }
    std::string_view raw;
    const error_code code = type == ondemand::json_type::object ? rawText(value.get_object(), &raw) : rawText(value.get_array(), &raw);
    if (code != SUCCESS)
        return syntaxError(code);
    const error_code checked = m_unusedParser.parse(raw.data(), raw.size(), false).error();
    return checked == SUCCESS || syntaxErrorAt(raw.data(), checked);
}

bool Reader::reportProgress()
{
    if (!m_progress || ++m_rowsSinceReport < progressStride)
        return true;
    m_rowsSinceReport = 0;
    const char* location = nullptr;
    if (m_document.current_location().get(location) == SUCCESS) {
        m_progress->done += qint64(location - m_lastReported);
        m_lastReported = location;
    }
    if (!m_progress->cancelled)
        return true;
    m_problem = EstimateJson::cancelledMessage();
    return false;
}

bool Reader::linkParents(const QVector<LoadedRow>& loaded, const PositionById& positionById,
                         QVector<int>* parentPositions, const Place& place)
{
    parentPositions->fill(-1, loaded.size());
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        const LoadedRow& entry = loaded.at(rowPos);
        Place rowPlace = place;
        rowPlace.row = rowPos;
        QList<BaseDataItem*> spanned;
        for (int spanPos = 0; spanPos < entry.spans.size(); ++spanPos) {
            const int target = positionById.value(entry.spans.at(spanPos), -1);
            if (target < 0)
                return fail(rowPlace.at("spans", spanPos), QStringLiteral("no row has id %1").arg(entry.spans.at(spanPos)));
            spanned.append(loaded.at(target).row);
        }
        entry.row->setSpanChildrenRows(spanned);
        if (!entry.hasParent)
            continue;
        (*parentPositions)[rowPos] = positionById.value(entry.parentId, -1);
        if (parentPositions->at(rowPos) < 0)
            return fail(rowPlace.at("parent"), QStringLiteral("no row has id %1").arg(entry.parentId));
    }
    return true;
}

// Every row's depth from its parent chain, walked upwards once per row with an explicit list:
// a chain back to a row on the current walk is a cycle, and trees deeper than the limit are refused.
bool Reader::checkDepths(QVector<LoadedRow>& loaded, const QVector<int>& parentPositions, const Place& place)
{
    enum : int { Unknown = -1, OnWalk = -2 };
    QVector<int> depths(loaded.size(), Unknown);
    QVector<int> walk;
    for (int start = 0; start < loaded.size(); ++start) {
        walk.clear();
        int rowPos = start;
        for (; rowPos >= 0 && depths.at(rowPos) == Unknown; rowPos = parentPositions.at(rowPos)) {
            depths[rowPos] = OnWalk;
            walk.append(rowPos);
        }
        Place rowPlace = place;
        rowPlace.row = rowPos;
        if (rowPos >= 0 && depths.at(rowPos) == OnWalk)
            return fail(rowPlace.at("parent"), QStringLiteral("the parent links form a cycle"));
        int depth = rowPos < 0 ? -1 : depths.at(rowPos);
        for (int walkPos = walk.size() - 1; walkPos >= 0; --walkPos)
            depths[walk.at(walkPos)] = ++depth;
    }
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        Place rowPlace = place;
        rowPlace.row = rowPos;
        if (depths.at(rowPos) >= EstimateJson::maxLevels)
            return fail(rowPlace.at("parent"), QStringLiteral("the row is %1 levels deep; at most %2 are supported")
                                                   .arg(depths.at(rowPos) + 1).arg(EstimateJson::maxLevels));
        if (loaded.at(rowPos).level >= 0 && loaded.at(rowPos).level != depths.at(rowPos))
            return fail(rowPlace.at("level"), QStringLiteral("%1 does not match the row's depth in the tree, %2")
                                                  .arg(loaded.at(rowPos).level).arg(depths.at(rowPos)));
        loaded[rowPos].row->setLevel(depths.at(rowPos));
    }
    return true;
}

// Ties parents, children and spans together, then lists the rows in pre-order, as the grid models need.
bool Reader::linkTable(Estimate::Table& table, QVector<LoadedRow>& loaded, const Place& place)
{
    PositionById positionById(loaded.size());
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        Place rowPlace = place;
        rowPlace.row = rowPos;
        if (!positionById.insert(loaded.at(rowPos).id, rowPos))
            return fail(rowPlace.at("id"), QStringLiteral("another row already has id %1").arg(loaded.at(rowPos).id));
    }
    QVector<int> parentPositions;
    if (!linkParents(loaded, positionById, &parentPositions, place) || !checkDepths(loaded, parentPositions, place))
        return false;
    QVector<QList<BaseDataItem*>> children(loaded.size());
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        const int parentPos = parentPositions.at(rowPos);
        if (parentPos >= 0) {
            loaded.at(rowPos).row->setParentAlone(loaded.at(parentPos).row);
            children[parentPos].append(loaded.at(rowPos).row);
        }
    }
    for (int rowPos = 0; rowPos < loaded.size(); ++rowPos) {
        if (!children.at(rowPos).isEmpty())
            loaded.at(rowPos).row->setBaseDataItemListDirect(children.at(rowPos));
    }
    if (!isPreOrder(parentPositions)) // files written here are in pre-order already
        table.rows = Estimate::preOrder(table);
    return true;
}

// Reads a whole file into a buffer with the parser's padding. Anything but a regular file is
// refused: a FIFO with no writer would block the read for ever.
bool loadFile(const QString& path, padded_string* text, LoadProgress* progress, QString* problem)
{
    if (path.startsWith(QLatin1Char(':'))) { // a Qt resource
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return *problem = file.errorString(), false;
        const QByteArray bytes = file.readAll();
        *text = padded_string(bytes.constData(), size_t(bytes.size()));
        return true;
    }
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status{};
    if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        *problem = descriptor < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("not a regular file");
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    *text = padded_string(size_t(status.st_size));
    if (progress)
        progress->total = 2 * qint64(status.st_size); // reading the bytes, then parsing them
    constexpr size_t chunk = 16 << 20;
    size_t done = 0;
    while (done < text->size() && !(progress && progress->cancelled)) {
        const ssize_t bytes = ::read(descriptor, text->data() + done, qMin(chunk, text->size() - done));
        if (bytes <= 0 && errno != EINTR)
            break;
        done += size_t(qMax<ssize_t>(bytes, 0));
        if (progress)
            progress->done = qint64(done);
    }
    ::close(descriptor);
    if (progress && progress->cancelled)
        return *problem = EstimateJson::cancelledMessage(), false;
    if (done != text->size())
        return *problem = QStringLiteral("the file changed while it was read"), false;
    return true;
}

// Streams JSON text to a device through a buffer, one row per line so that large files stay readable.
class JsonWriter
{
public:
    explicit JsonWriter(QIODevice* device) : m_device(device) { m_buffer.reserve(bufferSize + 4096); }

    /// False when the device refused a write (a full disk, a size limit); its errorString() then says why.
    bool finish()
    {
        flush();
        return !m_failed;
    }
    qint64 bytesWritten() const { return m_written; }
    void key(const char* name)
    {
        append(m_needsComma ? ",\"" : "\"");
        append(name);
        append("\":");
        m_needsComma = true;
    }
    void string(const QString& value)
    {
        if (!asciiString(value))
            utf8String(value.toUtf8());
    }
    /// A text known to need no escapes, such as a row type's name.
    void plainString(std::string_view text)
    {
        m_buffer += '"';
        m_buffer += text;
        m_buffer += '"';
    }
    /// Writes plain ASCII text without converting it first (most cells are); false, writing nothing, otherwise.
    bool asciiString(const QString& value)
    {
        const size_t start = m_buffer.size();
        m_buffer += '"';
        for (const QChar character : value) {
            const ushort unit = character.unicode();
            if (unit >= 0x80 || unit < 0x20 || unit == '"' || unit == '\\') {
                m_buffer.resize(start);
                return false;
            }
            m_buffer += char(unit);
        }
        m_buffer += '"';
        return true;
    }
    void utf8String(const QByteArray& utf8)
    {
        append("\"");
        const char* run = utf8.constData();
        for (const char* at = run; at != utf8.constEnd(); ++at) {
            const uchar byte = uchar(*at);
            if (byte >= 0x20 && byte != '"' && byte != '\\')
                continue;
            m_buffer.append(run, size_t(at - run));
            char escape[8];
            std::snprintf(escape, sizeof escape, byte < 0x20 ? "\\u%04x" : "\\%c", byte);
            append(escape);
            run = at + 1;
        }
        m_buffer.append(run, size_t(utf8.constEnd() - run));
        append("\"");
    }
    /// False, writing nothing, for a number that is not finite: JSON has no text for it.
    bool number(double value)
    {
        if (!std::isfinite(value))
            return false;
        char text[32];
        m_buffer.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
        return true;
    }
    void integer(qint64 value)
    {
        char text[24];
        m_buffer.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
    }
    void boolean(bool value) { append(value ? "true" : "false"); }
    void null() { append("null"); }
    void open(const char* bracket)
    {
        append(bracket);
        m_needsComma = false;
    }
    void close(const char* bracket)
    {
        append(bracket);
        m_needsComma = true;
    }
    void separate(const char* separator)
    {
        append(separator);
        m_needsComma = false;
    }

private:
    static constexpr size_t bufferSize = 1 << 20;

    void append(const char* text)
    {
        m_buffer.append(text);
        if (m_buffer.size() >= bufferSize)
            flush();
    }
    // A short write sets no error: writing the rest again either goes on or fails with the reason.
    void flush()
    {
        for (size_t done = 0; !m_failed && done < m_buffer.size();) {
            const qint64 written = m_device->write(m_buffer.data() + done, qint64(m_buffer.size() - done));
            m_failed = written <= 0;
            done += size_t(qMax<qint64>(written, 0));
            m_written += qMax<qint64>(written, 0);
        }
        m_buffer.clear();
    }

    QIODevice* m_device; // not owned
    std::string m_buffer;
    qint64 m_written = 0;
    bool m_needsComma = false;
    bool m_failed = false;
};

qint64 rowId(BaseDataItem* row)
{
    return row->getValue(EstimateField::Id).toLongLong();
}


class EstimateWriter
{
public:
    explicit EstimateWriter(QIODevice* device) : m_device(device), m_out(device) {}

    bool write(const Estimate& estimate);
    QString problem() const { return m_problem; }
    qint64 bytesWritten() const { return m_out.bytesWritten(); }

private:
    bool writeWork(const Estimate::Work& work, Place place);
    bool writeTable(const Estimate::Table& table, Place place);
    bool writeRow(BaseDataItem* row, const Place& place);
    int depthOf(BaseDataItem* row);
    bool number(double value, const Place& place)
    {
        if (m_out.number(value))
            return true;
        m_problem = place.text() + QStringLiteral(": %1 is not a finite number; JSON cannot hold it").arg(value);
        return false;
    }

    QIODevice* m_device; // not owned
    JsonWriter m_out;
    QString m_problem;
    QVector<BaseDataItem*> m_path; // the last row written and its ancestors, root first
};

bool EstimateWriter::write(const Estimate& estimate)
{
    m_out.open("{");
    m_out.key("format");
    m_out.string(QLatin1String(formatName));
    m_out.key("project");
    m_out.string(estimate.projectName);
    if (estimate.submittedNodeId >= 0 || estimate.reviewedNodeId >= 0) {
        m_out.key("audit");
        m_out.open("{");
        m_out.key("submitted");
        m_out.integer(estimate.submittedNodeId);
        m_out.key("reviewed");
        m_out.integer(estimate.reviewedNodeId);
        m_out.close("}");
    }
    m_out.key("works");
    m_out.open("[");
    Place place;
    for (place.work = 0; place.work < int(estimate.works.size()); ++place.work) {
        m_out.separate(place.work == 0 ? "\n" : ",\n");
        if (!writeWork(*estimate.works.at(size_t(place.work)), place))
            return false;
    }
    m_out.close("]");
    m_out.close("}\n");
    if (!m_out.finish())
        m_problem = QStringLiteral("could not write the whole file: %1").arg(m_device->errorString());
    return m_problem.isEmpty();
}

bool EstimateWriter::writeWork(const Estimate::Work& work, Place place)
{
    m_out.open("{");
    m_out.key("name");
    m_out.string(work.name);
    m_out.key("nodeId");
    m_out.integer(work.work->getNodeId());
    m_out.key("auditId");
    m_out.integer(work.work->getAuditId());
    m_out.key("tables");
    m_out.open("[");
    for (place.table = 0; place.table < int(work.tables.size()); ++place.table) {
        m_out.separate(place.table == 0 ? "" : ",");
        if (!writeTable(*work.tables.at(size_t(place.table)), place))
            return false;
    }
    m_out.close("]");
    m_out.close("}");
    return true;
}

bool EstimateWriter::writeTable(const Estimate::Table& table, Place place)
{
    m_path.clear();
    m_out.open("{");
    m_out.key("name");
    m_out.string(table.name);
    m_out.key("tableType");
    m_out.integer(table.table->getTableType());
    m_out.key("rows");
    m_out.open("[");
    for (place.row = 0; place.row < table.rows.size(); ++place.row) {
        m_out.separate(place.row == 0 ? "\n" : ",\n");
        if (!writeRow(table.rows.at(place.row), place))
            return false;
    }
    m_out.close("]");
    m_out.close("}");
    return true;
}

// The level written is the row's depth, so that a file always agrees with its own tree. Rows come in
// pre-order, where the path above the last row answers at once; any other order walks up, stopping past the limit.
int EstimateWriter::depthOf(BaseDataItem* row)
{
    BaseDataItem* parent = row->getParent();
    while (!m_path.isEmpty() && m_path.last() != parent)
        m_path.removeLast();
    if (parent && m_path.isEmpty()) {
        int depth = 1;
        for (parent = parent->getParent(); parent && depth <= EstimateJson::maxLevels; parent = parent->getParent())
            ++depth;
        return depth;
    }
    m_path.append(row);
    return m_path.size() - 1;
}

bool EstimateWriter::writeRow(BaseDataItem* row, const Place& place)
{
    const int depth = depthOf(row);
    if (depth >= EstimateJson::maxLevels) { // the file could not be read back
        m_problem = place.at("parent").text()
            + QStringLiteral(": the row is more than %1 levels deep; a file holds at most %1").arg(EstimateJson::maxLevels);
        return false;
    }
    m_out.open("{");
    m_out.key("id");
    m_out.integer(rowId(row));
    m_out.key("parent");
    row->getParent() ? m_out.integer(rowId(row->getParent())) : m_out.null();
    m_out.key("type");
    m_out.plainString(rowTypeName(row->getRowType()));
    m_out.key("level");
    m_out.integer(depth);
    for (const FieldKey& field : textFields) {
        const QVariant value = row->getValue(field.field);
        if (value.isValid()) {
            m_out.key(field.key.data());
            m_out.string(value.toString());
        }
    }
    for (const FieldKey& field : numberFields) {
        const QVariant value = row->getValue(field.field);
        if (!value.isValid())
            continue;
        m_out.key(field.key.data());
        if (!number(value.toDouble(), place.at(field.key.data())))
            return false;
    }
    m_out.key("height");
    if (!number(row->getRowHeight(), place.at("height")))
        return false;
    m_out.key("expanded");
    m_out.boolean(row->getExpanded());
    m_out.key("visible");
    m_out.boolean(row->getVisible());
    m_out.key("collapsable");
    m_out.boolean(row->getCollapsable());
    m_out.key("curIndex");
    m_out.integer(row->getCurIndex());
    const QList<BaseDataItem*>& spanned = *row->getSpanChildrenRows();
    if (!spanned.isEmpty()) {
        m_out.key("spans");
        m_out.open("[");
        for (int spanPos = 0; spanPos < spanned.size(); ++spanPos) {
            m_out.separate(spanPos == 0 ? "" : ",");
            m_out.integer(rowId(spanned.at(spanPos)));
        }
        m_out.close("]");
    }
    m_out.close("}");
    return true;
}

std::unique_ptr<Estimate> readText(const padded_string& text, const QString& fileName, QString* error,
                                   LoadProgress* progress, int threads = 1)
{
    QString problem;
    std::unique_ptr<Estimate> estimate = Reader(text.data(), text.size(), text.size() + SIMDJSON_PADDING, progress, threads).read(&problem);
    if (!estimate)
        *error = problem == EstimateJson::cancelledMessage() ? problem : QStringLiteral("%1: %2").arg(fileName, problem);
    return estimate;
}

} // namespace

std::unique_ptr<Estimate> EstimateJson::read(const QString& path, QString* error, LoadProgress* progress, int threads)
{
    padded_string text;
    QString problem;
    if (!loadFile(path, &text, progress, &problem)) {
        *error = problem == cancelledMessage() ? problem : QStringLiteral("%1: cannot open: %2").arg(path, problem);
        return nullptr;
    }
    return readText(text, path, error, progress, threads);
}

std::unique_ptr<Estimate> EstimateJson::parse(const QByteArray& json, const QString& fileName, QString* error)
{
    return readText(padded_string(json.constData(), size_t(json.size())), fileName, error, nullptr);
}

QByteArray EstimateJson::serialize(const Estimate& estimate, QString* error)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EstimateWriter writer(&buffer);
    if (writer.write(estimate))
        return buffer.data();
    if (error)
        *error = writer.problem();
    return {};
}

bool EstimateJson::write(const Estimate& estimate, const QString& path, QString* error)
{
    QSaveFile file(path);
    EstimateWriter writer(&file);
    QString problem;
    // Unbuffered: the writer buffers already, so every write's result is the disk's. Qt's own
    // buffer would be flushed by commit(), which does not report a failure of that flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        problem = file.errorString();
    else if (!writer.write(estimate))
        problem = writer.problem();
    else if (!file.flush())
        problem = file.errorString();
    else if (file.size() != writer.bytesWritten())
        problem = QStringLiteral("the disk holds %1 of the %2 bytes written").arg(file.size()).arg(writer.bytesWritten());
    else if (!file.commit())
        problem = file.errorString();
    if (problem.isEmpty())
        return true;
    *error = QStringLiteral("%1: cannot save: %2").arg(path, problem);
    return false; // the unfinished copy is discarded, the old file stays as it was
}

QString EstimateJson::cancelledMessage()
{
    return QStringLiteral("cancelled");
}
