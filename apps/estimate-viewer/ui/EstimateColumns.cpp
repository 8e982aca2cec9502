#include "EstimateColumns.h"

#include "EstimateFields.h"

#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>

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
        {"code", EstimateFields::title(EstimateField::Code), EstimateField::Code},
        {"name", EstimateFields::title(EstimateField::Name), EstimateField::Name},
        {"unit", EstimateFields::title(EstimateField::Unit), EstimateField::Unit},
        {"quantity", EstimateFields::title(EstimateField::Quantity), EstimateField::Quantity},
        {"unitPrice", EstimateFields::title(EstimateField::UnitPrice), EstimateField::UnitPrice},
        {"total", EstimateFields::title(EstimateField::Total), EstimateField::Total},
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
        return EstimateFields::isNumeric(field) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    if (role != Qt::DisplayRole || !value.isValid())
        return {};
    return EstimateFields::isNumeric(field) ? QVariant(formatNumber(value.toDouble())) : shownText(value);
}

QString EstimateColumns::formatNumber(double number)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator); // the C locale omits it
    return locale.toString(number, 'f', 2);
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
