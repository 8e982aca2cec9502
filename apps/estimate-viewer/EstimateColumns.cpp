#include "EstimateColumns.h"

#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>

#include <cmath>

namespace {
// A column wide enough for a text, with room for the cell's margins and the tree's indent.
int widthFor(const QFontMetrics& metrics, const QString& text)
{
    return metrics.horizontalAdvance(text) + metrics.horizontalAdvance(QLatin1Char('0')) * 3;
}

// A cell shows a prefix of a long text, elided: Qt lays out the whole text it is given, which for a
// description of megabytes holds the window for seconds and takes gigabytes. The row keeps all of it.
QVariant shownText(const QVariant& value)
{
    constexpr int longest = 1000; // more characters than a cell as wide as a screen shows
    const QString text = value.userType() == QMetaType::QString ? value.toString() : QString();
    if (text.size() <= longest)
        return value;
    return text.left(text.at(longest - 1).isHighSurrogate() ? longest - 1 : longest) + QChar(0x2026);
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
    return isNumeric(field) ? QVariant(formatNumber(value.toDouble())) : shownText(value);
}

bool EstimateColumns::isNumeric(int field)
{
    return field == EstimateField::Quantity || field == EstimateField::UnitPrice || field == EstimateField::Total;
}

QString EstimateColumns::formatNumber(double number)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator); // the C locale omits it
    return locale.toString(number, 'f', 2);
}

QVariant EstimateColumns::parseCell(int field, const QVariant& typed)
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

void EstimateColumns::applyDefaultWidths(QHeaderView& header, int descriptionWidth)
{
    // Samples of the widest text a column holds.
    const QFontMetrics metrics(header.font());
    const QStringList widest = {QStringLiteral("00.00.00.00"), QString(), QStringLiteral("Unit  "),
                                formatNumber(99999.99), formatNumber(99999.99), formatNumber(999999999.99)};
    for (int column = 0; column < widest.size() && column < header.count(); ++column) {
        const int width = widest.at(column).isEmpty() ? descriptionWidth * metrics.height() / 16
                                                      : widthFor(metrics, widest.at(column));
        header.resizeSection(column, width);
    }
}

void EstimateColumns::fitTotal(QHeaderView& header, double largest)
{
    int column = 0;
    while (column < all().size() && all().at(column).field != EstimateField::Total)
        ++column;
    const int needed = widthFor(QFontMetrics(header.font()), formatNumber(largest));
    if (column < header.count() && header.sectionSize(column) < needed)
        header.resizeSection(column, needed);
}
