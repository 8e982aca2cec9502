#include "JsonValueReader.h"

#include <cstring>

using namespace simdjson;

namespace {

constexpr int maxSharedTexts = 65536;
constexpr size_t maxSharedLength = 1024; // a longer text rarely repeats, and a copy kept to share it would double it

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
    if (!integer && at < token.size() && token[at] == '.') {
        ++at;
        if (digits() == 0)
            return false;
    }
    if (!integer && at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
        at += at + 1 < token.size() && (token[at + 1] == '+' || token[at + 1] == '-') ? 2 : 1;
        if (digits() == 0)
            return false;
    }
    return at == token.size();
}

// The text of an array or object, skipped over without being checked.
template<typename Container>
error_code rawText(simdjson_result<Container> container, std::string_view* raw)
{
    Container opened;
    const error_code code = std::move(container).get(opened);
    return code != SUCCESS ? code : opened.raw_json().get(*raw);
}

} // namespace

JsonValueReader::JsonValueReader(const char* file, size_t fileLength, const char* text, size_t length, const TextStart* skipped)
    : m_file(file), m_fileLength(fileLength), m_text(text), m_length(length), m_skipped(skipped)
{
}

error_code JsonValueReader::iterate(ondemand::parser& parser, size_t capacity)
{
    const error_code code = parser.iterate(m_text, m_length, capacity).get(m_document);
    m_iterated = code == SUCCESS;
    return code;
}

const char* JsonValueReader::currentLocation()
{
    const char* location = nullptr;
    if (m_document.current_location().get(location) != SUCCESS)
        return nullptr;
    return location;
}

bool JsonValueReader::setProblem(const QString& problem)
{
    m_problem = problem;
    return false;
}

bool JsonValueReader::fail(const JsonPlace& place, const QString& problem)
{
    return setProblem(place.text() + QStringLiteral(": ") + problem);
}

bool JsonValueReader::syntaxError(error_code code)
{
    const char* location = m_iterated ? currentLocation() : nullptr;
    return syntaxErrorAt(location ? location : m_text + firstBadTextOffset(m_text, m_length), code);
}

bool JsonValueReader::syntaxErrorAt(const char* location, error_code code)
{
    // The parser points back into text read already only once it has run out of text: the file ends early.
    const size_t offset = size_t(location - m_file) < m_skipped->length ? m_fileLength : size_t(location - m_file);
    return setProblem(lineAndColumn(m_file, qMin(offset, m_fileLength), *m_skipped) + QStringLiteral(": ")
                      + QString::fromUtf8(error_message(code)));
}

bool JsonValueReader::check(error_code code, const JsonPlace& place, const char* expected)
{
    if (code == SUCCESS)
        return true;
    if (code != INCORRECT_TYPE)
        return syntaxError(code);
    // A value of the wrong type past the last byte is the end of a truncated file.
    if (!currentLocation())
        return syntaxError(INCOMPLETE_ARRAY_OR_OBJECT);
    return fail(place, QString::fromLatin1(expected));
}

bool JsonValueReader::missing(const JsonPlace& place, bool present)
{
    return present || fail(place, QStringLiteral("missing"));
}

bool JsonValueReader::wholeNumber(value& value, const JsonPlace& place, qint64 lowest, qint64 highest, qint64* number)
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

bool JsonValueReader::intNumber(value& value, const JsonPlace& place, int* number, int lowest)
{
    qint64 read = 0;
    if (!wholeNumber(value, place, lowest, INT_MAX, &read))
        return false;
    *number = int(read);
    return true;
}

bool JsonValueReader::finiteNumber(value& value, const JsonPlace& place, double* number)
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
bool JsonValueReader::notTheNumber(value& value, const JsonPlace& place, const char* expected)
{
    const std::string_view raw = value.raw_json_token();
    if (raw.data() + raw.size() >= m_file + m_fileLength)
        return syntaxErrorAt(raw.data(), INCOMPLETE_ARRAY_OR_OBJECT);
    const std::string_view token = tokenText(raw);
    ondemand::json_type type;
    if (value.type().get(type) == SUCCESS && (type != ondemand::json_type::number || isJsonNumber(token)))
        return check(INCORRECT_TYPE, place, expected);
    if (token.empty())
        return fail(place, QStringLiteral("the value is missing"));
    return fail(place, QStringLiteral("%1 is not a number").arg(printable(token)));
}

bool JsonValueReader::text(value& value, const JsonPlace& place, QString* text, bool repeats)
{
    std::string_view read;
    if (!check(value.get_string().get(read), place, "expected a string"))
        return false;
    *text = repeats && read.size() <= maxSharedLength ? sharedText(read) : QString::fromUtf8(read.data(), int(read.size()));
    return true;
}

// Descriptions and units repeat across an estimate: rows share one copy of each (up to a bound).
QString JsonValueReader::sharedText(std::string_view text)
{
    const auto found = m_texts.constFind(QByteArray::fromRawData(text.data(), int(text.size())));
    if (found != m_texts.constEnd())
        return found.value();
    const QString decoded = QString::fromUtf8(text.data(), int(text.size()));
    if (m_texts.size() < maxSharedTexts)
        m_texts.insert(QByteArray(text.data(), int(text.size())), decoded);
    return decoded;
}

bool JsonValueReader::flag(value& value, const JsonPlace& place, bool* flag)
{
    return check(value.get_bool().get(*flag), place, "expected true or false");
}

// The parser checks only the values it is asked for, so `"extra": tru` would pass unseen: an unused
// scalar is read and dropped, an unused array or object goes through the plain parser, which checks
// nesting without recursion (up to its depth limit).
bool JsonValueReader::unusedValue(value& value)
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

// A field's key as written, not copied out: only a key holding an escape needs unescaping.
error_code JsonValueReader::keyOf(ondemand::field& field, std::string_view* key)
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
