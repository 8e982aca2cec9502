#pragma once

#include <QString>
#include <QVariant>

/*!
 * The rules of a row's cells, whatever shows them: which fields are numbers, which
 * are computed from others, what each is called, and what a typed value becomes.
 *
 *     const QVariant value = EstimateFields::parseCell(EstimateField::Quantity, "12.5");
 *     if (value.isValid())   // refused: a computed field, or not a finite number
 *         row->setValue(EstimateField::Quantity, value);
 */
class EstimateFields
{
public:
    /// The field's name as a person reads it ("Unit price"); empty for a field without one.
    static QString title(int field);
    /// Whether the field is worked out from others (the total): never typed in.
    static bool isComputed(int field);
    static bool isNumeric(int field);
    /// The value to store for what was typed into a cell; invalid when refused (a computed
    /// field, or not a finite number where one is due).
    static QVariant parseCell(int field, const QVariant& typed);
};
