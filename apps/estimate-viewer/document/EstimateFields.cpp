#include "EstimateFields.h"

#include "Estimate.h"

#include <QLocale>

#include <cmath>

QString EstimateFields::title(int field)
{
    switch (field) {
    case EstimateField::Code:
        return QStringLiteral("Code");
    case EstimateField::Name:
        return QStringLiteral("Description");
    case EstimateField::Unit:
        return QStringLiteral("Unit");
    case EstimateField::Quantity:
        return QStringLiteral("Quantity");
    case EstimateField::UnitPrice:
        return QStringLiteral("Unit price");
    case EstimateField::Total:
        return QStringLiteral("Total");
    default:
        return {};
    }
}

bool EstimateFields::isComputed(int field)
{
    return field == EstimateField::Total;
}

bool EstimateFields::isNumeric(int field)
{
    return field == EstimateField::Quantity || field == EstimateField::UnitPrice || field == EstimateField::Total;
}

QVariant EstimateFields::parseCell(int field, const QVariant& typed)
{
    if (field < 0 || isComputed(field))
        return {};
    if (!isNumeric(field))
        return typed.toString();
    bool isNumber = false;
    double number = typed.toDouble(&isNumber);
    if (!isNumber) // typed in by a person: read it the way the cell shows it
        number = QLocale().toDouble(typed.toString(), &isNumber);
    if (!isNumber || !std::isfinite(number)) // "nan" and "inf" have no JSON text: the row could not be saved
        return {};
    return number;
}
