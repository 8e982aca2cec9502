#include "RowFields.h"

#include "Estimate.h"
#include "JsonWriter.h"

#include <climits>

const char estimateFormatName[] = "itemviews-estimate";

namespace {

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

enum class Kind { Id, Parent, Type, Level, Text, Number, Height, Expanded, Visible, Collapsable, CurIndex, Spans };

struct RowField
{
    std::string_view key; // a literal: its data() ends in a null
    Kind kind;
    int field = 0; // the row's value for a Text or Number
    bool repeats = false; // the same text recurs on many rows
};

// A row's fields in the order they are written.
const RowField rowFields[] = {
    {"id", Kind::Id},
    {"parent", Kind::Parent},
    {"type", Kind::Type},
    {"level", Kind::Level},
    {"code", Kind::Text, EstimateField::Code},
    {"name", Kind::Text, EstimateField::Name, true},
    {"unit", Kind::Text, EstimateField::Unit, true},
    {"quantity", Kind::Number, EstimateField::Quantity},
    {"unitPrice", Kind::Number, EstimateField::UnitPrice},
    {"total", Kind::Number, EstimateField::Total},
    {"height", Kind::Height},
    {"expanded", Kind::Expanded},
    {"visible", Kind::Visible},
    {"collapsable", Kind::Collapsable},
    {"curIndex", Kind::CurIndex},
    {"spans", Kind::Spans},
};
constexpr int rowFieldCount = int(sizeof rowFields / sizeof rowFields[0]);

// Keys are a few bytes long: compared in place, not by a call to memcmp.
bool sameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t at = 0; at < a.size(); ++at) {
        if (a[at] != b[at])
            return false;
    }
    return true;
}

// The field with that key, or null. A file has millions of rows with a dozen fields each, nearly
// always in the written order: the field expected next is tried first.
const RowField* rowFieldOf(std::string_view key, int* nextField)
{
    if (*nextField < rowFieldCount && sameKey(rowFields[*nextField].key, key))
        return &rowFields[(*nextField)++];
    for (int fieldPos = 0; fieldPos < rowFieldCount; ++fieldPos) {
        if (sameKey(rowFields[fieldPos].key, key)) {
            *nextField = fieldPos + 1;
            return &rowFields[fieldPos];
        }
    }
    return nullptr;
}

qint64 rowId(BaseDataItem* row)
{
    return row->getValue(EstimateField::Id).toLongLong();
}

bool readRowType(JsonValueReader& in, JsonValueReader::value& value, const JsonPlace& place, TreeBaseItem* row)
{
    std::string_view typeName;
    if (!in.check(value.get_string().get(typeName), place, "expected a string"))
        return false;
    row->setRowType(rowTypeOf(typeName));
    if (row->getRowType() == 0)
        return in.fail(place, QStringLiteral("unknown row type \"%1\"").arg(printable(typeName)));
    return true;
}

bool writeNumber(JsonWriter& out, double value, const JsonPlace& place, QString* problem)
{
    if (out.number(value))
        return true;
    *problem = place.text() + QStringLiteral(": %1 is not a finite number; JSON cannot hold it").arg(value);
    return false;
}

} // namespace

bool readRowField(JsonValueReader& in, std::string_view key, JsonValueReader::value& value, const JsonPlace& rowPlace,
                  LoadedRow& loaded, int* nextField)
{
    const RowField* field = rowFieldOf(key, nextField);
    if (!field)
        return in.unusedValue(value);
    const JsonPlace place = rowPlace.at(field->key.data());
    TreeBaseItem* row = loaded.row;
    QString text;
    double number = 0;
    int whole = 0;
    bool isSet = false;
    switch (field->kind) {
    case Kind::Id:
        loaded.hasId = true;
        if (!in.wholeNumber(value, place, LLONG_MIN, LLONG_MAX, &loaded.id))
            return false;
        row->setValue(EstimateField::Id, loaded.id);
        return true;
    case Kind::Parent:
        if (value.is_null().get(isSet) == simdjson::SUCCESS && isSet)
            return true;
        loaded.hasParent = true;
        return in.wholeNumber(value, place, LLONG_MIN, LLONG_MAX, &loaded.parentId);
    case Kind::Type:
        loaded.hasType = true;
        return readRowType(in, value, place, row);
    case Kind::Level:
        return in.intNumber(value, place, &loaded.level, 0);
    case Kind::Text:
        if (!in.text(value, place, &text, field->repeats))
            return false;
        row->setValue(field->field, text);
        return true;
    case Kind::Number:
        if (!in.finiteNumber(value, place, &number))
            return false;
        row->setValue(field->field, number);
        return true;
    case Kind::Height:
        if (!in.finiteNumber(value, place, &number))
            return false;
        row->setRowHeight(number);
        return true;
    case Kind::Expanded:
        if (!in.flag(value, place, &isSet))
            return false;
        row->setExpanded(isSet);
        return true;
    case Kind::Visible:
        if (!in.flag(value, place, &isSet))
            return false;
        row->setVisible(isSet);
        return true;
    case Kind::Collapsable:
        if (!in.flag(value, place, &isSet))
            return false;
        row->setCollapsable(isSet);
        return true;
    case Kind::CurIndex:
        if (!in.intNumber(value, place, &whole))
            return false;
        row->setCurIndex(whole);
        return true;
    case Kind::Spans:
        return in.elements(value, place, [&](JsonValueReader::value& spanId, int spanPos) {
            loaded.spans.append(0);
            return in.wholeNumber(spanId, rowPlace.at("spans", spanPos), LLONG_MIN, LLONG_MAX, &loaded.spans.last());
        });
    }
    return in.unusedValue(value);
}

bool writeRow(JsonWriter& out, BaseDataItem* row, int depth, const JsonPlace& rowPlace, QString* problem)
{
    const QList<BaseDataItem*>& spanned = *row->getSpanChildrenRows();
    out.open("{");
    for (const RowField& field : rowFields) {
        const JsonPlace place = rowPlace.at(field.key.data());
        const bool isCell = field.kind == Kind::Text || field.kind == Kind::Number;
        const QVariant value = isCell ? row->getValue(field.field) : QVariant();
        if ((isCell && !value.isValid()) || (field.kind == Kind::Spans && spanned.isEmpty()))
            continue; // a cell without a value and a row without spans leave their key out
        out.key(field.key.data());
        switch (field.kind) {
        case Kind::Id:
            out.integer(rowId(row));
            break;
        case Kind::Parent:
            if (row->getParent())
                out.integer(rowId(row->getParent()));
            else
                out.null();
            break;
        case Kind::Type:
            out.plainString(rowTypeName(row->getRowType()));
            break;
        case Kind::Level:
            out.integer(depth);
            break;
        case Kind::Text:
            out.string(value.toString());
            break;
        case Kind::Number:
            if (!writeNumber(out, value.toDouble(), place, problem))
                return false;
            break;
        case Kind::Height:
            if (!writeNumber(out, row->getRowHeight(), place, problem))
                return false;
            break;
        case Kind::Expanded:
            out.boolean(row->getExpanded());
            break;
        case Kind::Visible:
            out.boolean(row->getVisible());
            break;
        case Kind::Collapsable:
            out.boolean(row->getCollapsable());
            break;
        case Kind::CurIndex:
            out.integer(row->getCurIndex());
            break;
        case Kind::Spans:
            out.open("[");
            for (int spanPos = 0; spanPos < spanned.size(); ++spanPos) {
                out.separate(spanPos == 0 ? "" : ",");
                out.integer(rowId(spanned.at(spanPos)));
            }
            out.close("]");
            break;
        }
    }
    out.close("}");
    return true;
}
