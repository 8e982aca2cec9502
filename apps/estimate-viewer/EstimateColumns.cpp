#include "EstimateColumns.h"

#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QLocale>
#include <QtMath>

namespace {
bool isNumeric(int field)
{
    return field == EstimateField::Quantity || field == EstimateField::UnitPrice || field == EstimateField::Total;
}
}

const QVector<EstimateColumns::Column>& EstimateColumns::all()
{
    static const QVector<Column> columns{
        {"code", QStringLiteral("Code"), EstimateField::Code},
        {"name", QStringLiteral("Description"), EstimateField::Name},
        {"unit", QStringLiteral("Unit"), EstimateField::Unit},
        {"quantity", QStringLiteral("Quantity"), EstimateField::Quantity},
        {"unitPrice", QStringLiteral("Unit price"), EstimateField::UnitPrice},
        {"total", QStringLiteral("Total"), EstimateField::Total},
    };
    return columns;
}

int EstimateColumns::fieldOf(const QString& columnId)
{
    for (const Column& column : all()) {
        if (column.id == columnId)
            return column.field;
    }
    return -1;
}

int EstimateColumns::fieldOf(const zBaseHeaderItem* header)
{
    return header ? fieldOf(header->headerIdentify()) : -1;
}

void EstimateColumns::fill(zBaseHeaderColumn& columns)
{
    for (const Column& column : all())
        columns.addColumn(new zBaseHeaderItem(column.id, column.title));
}

void EstimateColumns::fill(Qtitan::TableHeaderColumn& columns)
{
    for (const Column& column : all())
        columns.addHeaderItem(new Qtitan::HeaderItem(column.field, column.title));
}

QVariant EstimateColumns::cell(BaseDataItem* row, int field, int role)
{
    if (!row || field < 0)
        return {};
    const QVariant value = row->getValue(field);
    if (role == Qt::EditRole)
        return value;
    if (role == Qt::TextAlignmentRole)
        return isNumeric(field) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    if (role != Qt::DisplayRole || !value.isValid())
        return {};
    return isNumeric(field) ? QVariant(QLocale().toString(value.toDouble(), 'f', 2)) : value;
}

bool EstimateColumns::writeCell(BaseDataItem* row, int field, const QVariant& value)
{
    if (!row || field < 0 || isComputed(field))
        return false;
    if (!isNumeric(field)) {
        row->setValue(field, value.toString());
        return true;
    }
    bool isNumber = false;
    double number = value.toDouble(&isNumber);
    if (!isNumber) // typed in by a person: read it the way the cell shows it
        number = QLocale().toDouble(value.toString(), &isNumber);
    // "nan", "inf" and a total that overflows have no JSON text: the row could not be saved.
    const double quantity = field == EstimateField::Quantity ? number : row->getValue(EstimateField::Quantity).toDouble();
    const double unitPrice = field == EstimateField::UnitPrice ? number : row->getValue(EstimateField::UnitPrice).toDouble();
    if (!isNumber || !qIsFinite(number) || !qIsFinite(quantity * unitPrice))
        return false;
    row->setValue(field, number);
    row->setValue(EstimateField::Total, quantity * unitPrice);
    return true;
}
