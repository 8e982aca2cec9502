#include "EstimateJson.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>

namespace {

const QString formatName = QStringLiteral("itemviews-estimate");

const QHash<QString, int>& rowTypesByName()
{
    static const QHash<QString, int> types{
        {"section", EstimateRowType::Section}, {"subsection", EstimateRowType::SubSection},
        {"item", EstimateRowType::Item},       {"subitem", EstimateRowType::SubItem},
        {"note", EstimateRowType::Note},       {"subtotal", EstimateRowType::Subtotal},
    };
    return types;
}

struct TextField
{
    const char* key;
    int field;
};
const TextField textFields[] = {{"code", EstimateField::Code}, {"name", EstimateField::Name}, {"unit", EstimateField::Unit}};
const TextField numberFields[] = {
    {"quantity", EstimateField::Quantity}, {"unitPrice", EstimateField::UnitPrice}, {"total", EstimateField::Total}};

// Typed reads that remember the first problem together with where it was met.
class Reader
{
public:
    bool failed() const { return !m_problem.isEmpty(); }
    QString problem() const { return m_problem; }
    void fail(const QString& place, const QString& problem)
    {
        if (!failed())
            m_problem = place + QStringLiteral(": ") + problem;
    }

    QJsonObject object(const QJsonValue& value, const QString& place)
    {
        if (!value.isObject())
            fail(place, QStringLiteral("expected an object"));
        return value.toObject();
    }
    QJsonArray array(const QJsonObject& parent, const char* key, const QString& place)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (!value.isArray())
            fail(place + '.' + key, QStringLiteral("expected an array"));
        return value.toArray();
    }
    QString text(const QJsonObject& parent, const char* key, const QString& place, bool required = false)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return {};
        if (!value.isString())
            fail(place + '.' + key, QStringLiteral("expected a string"));
        return value.toString();
    }
    qint64 integer(const QJsonObject& parent, const char* key, const QString& place, qint64 fallback, bool required = false)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return fallback;
        if (!value.isDouble() || value.toDouble() != double(qint64(value.toDouble())))
            fail(place + '.' + key, QStringLiteral("expected a whole number"));
        return qint64(value.toDouble());
    }
    double number(const QJsonObject& parent, const char* key, const QString& place, double fallback)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (!value.isDouble())
            fail(place + '.' + key, QStringLiteral("expected a number"));
        return value.toDouble();
    }
    bool flag(const QJsonObject& parent, const char* key, const QString& place, bool fallback)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (!value.isBool())
            fail(place + '.' + key, QStringLiteral("expected true or false"));
        return value.toBool();
    }

private:
    QString m_problem;
};

QString lineAndColumn(const QByteArray& json, int offset)
{
    const QByteArray before = json.left(offset);
    const int line = before.count('\n') + 1;
    const int column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

struct LoadedRow
{
    TreeBaseItem* row;
    qint64 parentId; // -1: top level
    QJsonArray spans;
    QString place;
};

TreeBaseItem* readRow(Reader& reader, const QJsonObject& object, const QString& place, LoadedRow& loaded)
{
    auto* row = new TreeBaseItem;
    row->setValue(EstimateField::Id, reader.integer(object, "id", place, 0, true));
    const QJsonValue parent = object.value(QLatin1String("parent"));
    loaded.parentId = parent.isUndefined() || parent.isNull() ? -1 : reader.integer(object, "parent", place, -1);
    const QString typeName = reader.text(object, "type", place, true);
    if (!reader.failed() && !rowTypesByName().contains(typeName))
        reader.fail(place + ".type", QStringLiteral("unknown row type \"%1\"").arg(typeName));
    row->setRowType(rowTypesByName().value(typeName));
    row->setLevel(int(reader.integer(object, "level", place, 0)));
    for (const TextField& field : textFields) {
        if (object.contains(QLatin1String(field.key)))
            row->setValue(field.field, reader.text(object, field.key, place));
    }
    for (const TextField& field : numberFields) {
        if (object.contains(QLatin1String(field.key)))
            row->setValue(field.field, reader.number(object, field.key, place, 0.0));
    }
    row->setRowHeight(reader.number(object, "height", place, 0.0));
    row->setExpanded(reader.flag(object, "expanded", place, true));
    row->setVisible(reader.flag(object, "visible", place, true));
    row->setCollapsable(reader.flag(object, "collapsable", place, true));
    row->setCurIndex(int(reader.integer(object, "curIndex", place, 0)));
    if (object.contains(QLatin1String("spans")))
        loaded.spans = reader.array(object, "spans", place);
    loaded.row = row;
    loaded.place = place;
    return row;
}

// A row whose parent chain comes back to itself would make every tree walk endless.
bool hasCycle(const QList<BaseDataItem*>& rows)
{
    QHash<BaseDataItem*, int> state; // 1: on the current walk, 2: known to reach the top
    for (BaseDataItem* start : rows) {
        QList<BaseDataItem*> walk;
        for (BaseDataItem* row = start; row && state.value(row) != 2; row = row->getParent()) {
            if (state.value(row) == 1)
                return true;
            state.insert(row, 1);
            walk.append(row);
        }
        for (BaseDataItem* row : walk)
            state.insert(row, 2);
    }
    return false;
}

void linkRows(Reader& reader, const QVector<LoadedRow>& loaded, const QString& tablePlace)
{
    QHash<qint64, TreeBaseItem*> byId;
    for (const LoadedRow& entry : loaded) {
        const qint64 id = entry.row->getValue(EstimateField::Id).toLongLong();
        if (byId.contains(id))
            reader.fail(entry.place + ".id", QStringLiteral("another row already has id %1").arg(id));
        byId.insert(id, entry.row);
    }
    QHash<TreeBaseItem*, QList<BaseDataItem*>> children;
    for (const LoadedRow& entry : loaded) {
        QList<BaseDataItem*> spanned;
        for (const QJsonValue& spanId : entry.spans) {
            if (BaseDataItem* target = byId.value(qint64(spanId.toDouble())))
                spanned.append(target);
            else
                reader.fail(entry.place + ".spans", QStringLiteral("no row has id %1").arg(spanId.toDouble()));
        }
        entry.row->setSpanChildrenRows(spanned);
        if (entry.parentId < 0)
            continue;
        TreeBaseItem* parent = byId.value(entry.parentId);
        if (!parent)
            reader.fail(entry.place + ".parent", QStringLiteral("no row has id %1").arg(entry.parentId));
        entry.row->setParentAlone(parent);
        children[parent].append(entry.row);
    }
    for (auto it = children.constBegin(); it != children.constEnd(); ++it) {
        if (it.key())
            it.key()->setBaseDataItemListDirect(it.value());
    }
    QList<BaseDataItem*> rows;
    for (const LoadedRow& entry : loaded)
        rows.append(entry.row);
    if (!reader.failed() && hasCycle(rows))
        reader.fail(tablePlace + ".rows", QStringLiteral("the parent links form a cycle"));
}

void readTable(Reader& reader, Estimate& estimate, Estimate::Work& work, const QJsonObject& object, const QString& place)
{
    Estimate::Table& table = estimate.addTable(work, reader.text(object, "name", place),
                                               int(reader.integer(object, "tableType", place, 0, true)));
    const QJsonArray rows = reader.array(object, "rows", place);
    QVector<LoadedRow> loaded(rows.size());
    for (int rowPos = 0; rowPos < rows.size() && !reader.failed(); ++rowPos) {
        const QString rowPlace = QStringLiteral("%1.rows[%2]").arg(place).arg(rowPos);
        table.rows.append(readRow(reader, reader.object(rows.at(rowPos), rowPlace), rowPlace, loaded[rowPos]));
        table.rows.last()->setOwner(table.table.get());
    }
    if (!reader.failed())
        linkRows(reader, loaded, place);
}

void readWork(Reader& reader, Estimate& estimate, const QJsonObject& object, const QString& place)
{
    Estimate::Work& work = estimate.addWork(reader.text(object, "name", place),
                                            int(reader.integer(object, "nodeId", place, 0, true)),
                                            int(reader.integer(object, "auditId", place, 0)));
    const QJsonArray tables = reader.array(object, "tables", place);
    for (int tablePos = 0; tablePos < tables.size() && !reader.failed(); ++tablePos) {
        const QString tablePlace = QStringLiteral("%1.tables[%2]").arg(place).arg(tablePos);
        readTable(reader, estimate, work, reader.object(tables.at(tablePos), tablePlace), tablePlace);
    }
}

// JSON text is written by hand, one row per line: building a QJsonObject per row costs
// more than the rest of a save, and a row per line keeps large files readable.
class JsonWriter
{
public:
    QByteArray text;

    void key(const char* name)
    {
        text += m_needsComma ? ",\"" : "\"";
        text += name;
        text += "\":";
        m_needsComma = true;
    }
    void string(const QString& value)
    {
        text += '"';
        for (const char byte : value.toUtf8()) {
            if (byte == '"' || byte == '\\')
                text += '\\';
            if (uchar(byte) < 0x20)
                text += "\\u00" + QByteArray::number(uchar(byte), 16).rightJustified(2, '0');
            else
                text += byte;
        }
        text += '"';
    }
    void number(double value) { text += QByteArray::number(value, 'g', QLocale::FloatingPointShortest); }
    void integer(qint64 value) { text += QByteArray::number(value); }
    void boolean(bool value) { text += value ? "true" : "false"; }
    void null() { text += "null"; }
    void open(char bracket)
    {
        text += bracket;
        m_needsComma = false;
    }
    void close(char bracket)
    {
        text += bracket;
        m_needsComma = true;
    }
    void separate(const char* separator) { text += separator; m_needsComma = false; }

private:
    bool m_needsComma = false;
};

qint64 rowId(BaseDataItem* row)
{
    return row->getValue(EstimateField::Id).toLongLong();
}

void writeRow(JsonWriter& out, BaseDataItem* row, const QString& typeName)
{
    out.open('{');
    out.key("id");
    out.integer(rowId(row));
    out.key("parent");
    row->getParent() ? out.integer(rowId(row->getParent())) : out.null();
    out.key("type");
    out.string(typeName);
    out.key("level");
    out.integer(row->getLevel());
    for (const TextField& field : textFields) {
        if (row->getValue(field.field).isValid()) {
            out.key(field.key);
            out.string(row->getValue(field.field).toString());
        }
    }
    for (const TextField& field : numberFields) {
        if (row->getValue(field.field).isValid()) {
            out.key(field.key);
            out.number(row->getValue(field.field).toDouble());
        }
    }
    out.key("height");
    out.number(row->getRowHeight());
    out.key("expanded");
    out.boolean(row->getExpanded());
    out.key("visible");
    out.boolean(row->getVisible());
    out.key("collapsable");
    out.boolean(row->getCollapsable());
    out.key("curIndex");
    out.integer(row->getCurIndex());
    if (!row->getSpanChildrenRows()->isEmpty()) {
        out.key("spans");
        out.open('[');
        const QList<BaseDataItem*>& spanned = *row->getSpanChildrenRows();
        for (int spanPos = 0; spanPos < spanned.size(); ++spanPos) {
            out.separate(spanPos == 0 ? "" : ",");
            out.integer(rowId(spanned.at(spanPos)));
        }
        out.close(']');
    }
    out.close('}');
}

void writeWork(JsonWriter& out, const Estimate::Work& work, const QHash<int, QString>& typeNames)
{
    out.open('{');
    out.key("name");
    out.string(work.name);
    out.key("nodeId");
    out.integer(work.work->getNodeId());
    out.key("auditId");
    out.integer(work.work->getAuditId());
    out.key("tables");
    out.open('[');
    for (const auto& table : work.tables) {
        out.separate(&table == &work.tables.front() ? "" : ",");
        out.open('{');
        out.key("name");
        out.string(table->name);
        out.key("tableType");
        out.integer(table->table->getTableType());
        out.key("rows");
        out.open('[');
        for (int rowPos = 0; rowPos < table->rows.size(); ++rowPos) {
            out.separate(rowPos == 0 ? "\n" : ",\n");
            writeRow(out, table->rows.at(rowPos), typeNames.value(table->rows.at(rowPos)->getRowType()));
        }
        out.close(']');
        out.close('}');
    }
    out.close(']');
    out.close('}');
}

} // namespace

std::unique_ptr<Estimate> EstimateJson::read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot open: %2").arg(path, file.errorString());
        return nullptr;
    }
    return parse(file.readAll(), path, error);
}

std::unique_ptr<Estimate> EstimateJson::parse(const QByteArray& json, const QString& fileName, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: %2: %3").arg(fileName, lineAndColumn(json, parseError.offset), parseError.errorString());
        return nullptr;
    }
    Reader reader;
    auto estimate = std::make_unique<Estimate>();
    const QJsonObject root = reader.object(document.isObject() ? QJsonValue(document.object()) : QJsonValue(), "top level");
    if (!reader.failed() && root.value("format").toString() != formatName)
        reader.fail("format", QStringLiteral("expected \"%1\"").arg(formatName));
    estimate->projectName = reader.text(root, "project", "top level");
    const QJsonArray works = reader.array(root, "works", "top level");
    for (int workPos = 0; workPos < works.size() && !reader.failed(); ++workPos) {
        const QString place = QStringLiteral("works[%1]").arg(workPos);
        readWork(reader, *estimate, reader.object(works.at(workPos), place), place);
    }
    const QJsonObject audit = root.value("audit").toObject();
    estimate->submittedNodeId = int(reader.integer(audit, "submitted", "audit", -1));
    estimate->reviewedNodeId = int(reader.integer(audit, "reviewed", "audit", -1));
    if (reader.failed()) {
        *error = QStringLiteral("%1: %2").arg(fileName, reader.problem());
        return nullptr;
    }
    estimate->relateReviewed();
    return estimate;
}

QByteArray EstimateJson::serialize(const Estimate& estimate)
{
    QHash<int, QString> typeNames;
    for (auto it = rowTypesByName().constBegin(); it != rowTypesByName().constEnd(); ++it)
        typeNames.insert(it.value(), it.key());
    JsonWriter out;
    out.open('{');
    out.key("format");
    out.string(formatName);
    out.key("project");
    out.string(estimate.projectName);
    if (estimate.submittedNodeId >= 0 || estimate.reviewedNodeId >= 0) {
        out.key("audit");
        out.open('{');
        out.key("submitted");
        out.integer(estimate.submittedNodeId);
        out.key("reviewed");
        out.integer(estimate.reviewedNodeId);
        out.close('}');
    }
    out.key("works");
    out.open('[');
    for (const auto& work : estimate.works) {
        out.separate(&work == &estimate.works.front() ? "\n" : ",\n");
        writeWork(out, *work, typeNames);
    }
    out.close(']');
    out.close('}');
    out.text += '\n';
    return out.text;
}

bool EstimateJson::write(const Estimate& estimate, const QString& path, QString* error)
{
    const QByteArray json = serialize(estimate);
    QSaveFile file(path);
    QString problem;
    if (!file.open(QIODevice::WriteOnly))
        problem = file.errorString();
    else if (file.write(json) != json.size()) // a short write (disk full, size limit) sets no error itself
        problem = QStringLiteral("could not write the whole file");
    else if (!file.commit())
        problem = file.errorString();
    if (problem.isEmpty())
        return true;
    *error = QStringLiteral("%1: cannot save: %2").arg(path, problem);
    return false; // the unfinished copy is discarded, the old file stays as it was
}
