#include "TablePrinter.h"

#include "EstimateColumns.h"
#include "EstimateFields.h"
#include "ShownTable.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {
constexpr int longestSample = 40; // characters of a text column that size it; longer ones are elided
constexpr int deepestIndent = 10; // levels indented; deeper rows line up with the tenth

QString shownText(const ShownTable::Column& column, const QVariant& value)
{
    if (!value.isValid())
        return {};
    if (EstimateFields::isNumeric(column.field))
        return EstimateColumns::formatNumber(value.toDouble());
    return value.toString().left(1000).simplified(); // one line, as a cell shows it
}

// What the rows hold, read once before laying out the pages.
struct Contents
{
    int shownRows = 0;
    int deepest = 0;
    QStringList widest; // per column: the text that sizes it
};

Contents readContents(const ShownTable& table)
{
    Contents contents;
    const QVector<ShownTable::Column>& columns = table.columns();
    for (const ShownTable::Column& column : columns)
        contents.widest.append(column.title);
    table.forEachRow([&](const ShownTable::Row& row) {
        if (!row.shown)
            return true;
        ++contents.shownRows;
        contents.deepest = std::max(contents.deepest, std::min(row.level, deepestIndent));
        for (int column = 0; column < columns.size(); ++column) {
            if (columns.at(column).field == EstimateField::Name)
                continue; // takes the width the others leave
            const QString text = shownText(columns.at(column), ShownTable::value(row, columns.at(column))).left(longestSample);
            if (text.size() > contents.widest.at(column).size())
                contents.widest[column] = text;
        }
        return true;
    });
    return contents;
}

// Where everything goes on a page, in the device's units scaled by `scale`.
struct Layout
{
    QFont font;
    QFont bold;
    QFont title;
    double scale = 1;
    double width = 0; // of a page, scaled
    double height = 0;
    double padding = 0;
    double indent = 0; // per level
    double rowHeight = 0;
    double titleHeight = 0;
    double bodyTop = 0;
    double footerTop = 0;
    int rowsPerPage = 1;
    int pages = 1;
    QVector<double> left; // per column
    QVector<double> widths;
};

Layout layOut(const QPagedPaintDevice& device, const ShownTable& table, const Contents& contents)
{
    Layout layout;
    layout.font.setPointSizeF(8.5);
    layout.bold = layout.font;
    layout.bold.setBold(true);
    layout.title = layout.bold;
    layout.title.setPointSizeF(12);
    const QFontMetricsF metrics(layout.font, const_cast<QPagedPaintDevice*>(&device));
    const QFontMetricsF boldMetrics(layout.bold, const_cast<QPagedPaintDevice*>(&device));
    layout.padding = metrics.averageCharWidth() * 0.6;
    layout.indent = metrics.averageCharWidth() * 2;
    layout.rowHeight = std::ceil(metrics.height() * 1.35);
    layout.titleHeight = std::ceil(QFontMetricsF(layout.title, const_cast<QPagedPaintDevice*>(&device)).height() * 1.3);

    // Every column as wide as its widest text; the description at least 30 characters and the rest of the page.
    double natural = 0;
    int description = -1;
    for (int column = 0; column < table.columns().size(); ++column) {
        double width = boldMetrics.horizontalAdvance(contents.widest.at(column)) + 2 * layout.padding + metrics.averageCharWidth();
        if (table.columns().at(column).field == EstimateField::Name) {
            description = column;
            width = std::max(width, metrics.averageCharWidth() * 30 + contents.deepest * layout.indent + 2 * layout.padding);
        }
        layout.widths.append(width);
        natural += width;
    }
    layout.scale = natural > device.width() ? device.width() / natural : 1.0;
    layout.width = device.width() / layout.scale;
    layout.height = device.height() / layout.scale;
    if (description >= 0)
        layout.widths[description] += layout.width - natural; // nothing once drawn smaller
    double left = 0;
    for (double width : qAsConst(layout.widths)) {
        layout.left.append(left);
        left += width;
    }

    layout.bodyTop = layout.titleHeight + layout.rowHeight * 2.5; // title, table name, header
    layout.footerTop = layout.height - layout.rowHeight;
    layout.rowsPerPage = std::max(1, int((layout.footerTop - layout.rowHeight * 0.5 - layout.bodyTop) / layout.rowHeight));
    layout.pages = std::max(1, (contents.shownRows + layout.rowsPerPage - 1) / layout.rowsPerPage);
    return layout;
}

class PagePainter
{
public:
    PagePainter(QPainter& painter, const ShownTable& table, const Layout& layout)
        : m_painter(painter)
        , m_table(table)
        , m_layout(layout)
    {
    }

    void paintFrame(int page)
    {
        const Layout& layout = m_layout;
        m_painter.setPen(Qt::black);
        m_painter.setFont(layout.title);
        m_painter.drawText(QRectF(0, 0, layout.width, layout.titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                           m_table.projectName());
        m_painter.setFont(layout.font);
        const QString tableName = m_table.workName().isEmpty() ? m_table.tableName() : m_table.workName() + QStringLiteral(" / ") + m_table.tableName();
        m_painter.drawText(QRectF(0, layout.titleHeight, layout.width, layout.rowHeight), Qt::AlignLeft | Qt::AlignVCenter, tableName);
        const double headerTop = layout.bodyTop - layout.rowHeight;
        m_painter.setFont(layout.bold);
        for (int column = 0; column < m_table.columns().size(); ++column) {
            const ShownTable::Column& shown = m_table.columns().at(column);
            const Qt::Alignment alignment = EstimateFields::isNumeric(shown.field) ? Qt::AlignRight : Qt::AlignLeft;
            drawCell(column, headerTop, shown.title, alignment, 0);
        }
        m_painter.drawLine(QPointF(0, layout.bodyTop), QPointF(layout.width, layout.bodyTop));
        m_painter.setFont(layout.font);
        m_painter.drawText(QRectF(0, layout.footerTop, layout.width, layout.rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                           QObject::tr("Page %1 of %2").arg(page).arg(layout.pages));
    }

    void paintRow(const ShownTable::Row& row, int rowOnPage)
    {
        const double top = m_layout.bodyTop + rowOnPage * m_layout.rowHeight;
        const bool section = row.item->getRowType() == EstimateRowType::Section;
        m_painter.setFont(section ? m_layout.bold : m_layout.font);
        m_painter.setPen(Qt::black);
        for (int column = 0; column < m_table.columns().size(); ++column) {
            const ShownTable::Column& shown = m_table.columns().at(column);
            const bool number = EstimateFields::isNumeric(shown.field);
            const double indent = shown.field == EstimateField::Name ? std::min(row.level, deepestIndent) * m_layout.indent : 0;
            drawCell(column, top, shownText(shown, ShownTable::value(row, shown)), number ? Qt::AlignRight : Qt::AlignLeft, indent);
        }
        m_painter.setPen(QColor(215, 215, 215));
        m_painter.drawLine(QPointF(0, top + m_layout.rowHeight), QPointF(m_layout.width, top + m_layout.rowHeight));
    }

private:
    void drawCell(int column, double top, const QString& text, Qt::Alignment alignment, double indent)
    {
        const double left = m_layout.left.at(column) + m_layout.padding + indent;
        const double width = std::max(0.0, m_layout.widths.at(column) - 2 * m_layout.padding - indent);
        const QString elided = m_painter.fontMetrics().elidedText(text, Qt::ElideRight, int(std::ceil(width)));
        m_painter.drawText(QRectF(left, top, width, m_layout.rowHeight), alignment | Qt::AlignVCenter, elided);
    }

    QPainter& m_painter;
    const ShownTable& m_table;
    const Layout& m_layout;
};
}

TablePrinter::TablePrinter(const ShownTable& table)
    : m_table(table)
{
}

int TablePrinter::pageCount(const QPagedPaintDevice& device) const
{
    return layOut(device, m_table, readContents(m_table)).pages;
}

bool TablePrinter::print(QPagedPaintDevice& device) const
{
    const Layout layout = layOut(device, m_table, readContents(m_table));
    int first = 1;
    int last = layout.pages;
    if (auto* printer = dynamic_cast<QPrinter*>(&device); printer && printer->fromPage() > 0) {
        first = std::max(first, printer->fromPage());
        last = std::min(last, printer->toPage());
    }
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.scale(layout.scale, layout.scale);
    PagePainter pages(painter, m_table, layout);
    int shown = 0;
    int painted = 0;
    const auto startPage = [&](int page) {
        if (page < first || page > last)
            return;
        if (painted++ > 0)
            device.newPage();
        pages.paintFrame(page);
    };
    startPage(1);
    m_table.forEachRow([&](const ShownTable::Row& row) {
        if (!row.shown)
            return true;
        const int page = shown / layout.rowsPerPage + 1;
        const int rowOnPage = shown++ % layout.rowsPerPage;
        if (page > last)
            return false;
        if (rowOnPage == 0 && page > 1)
            startPage(page);
        if (page >= first)
            pages.paintRow(row, rowOnPage);
        return true;
    });
    return painter.end();
}

bool TablePrinter::writePdf(const ShownTable& table, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(table.projectName() + QStringLiteral(" - ") + table.tableName());
        writer.setCreator(QStringLiteral("Estimate viewer"));
        if (!TablePrinter(table).print(writer)) {
            *error = QObject::tr("%1: cannot draw the pages").arg(path);
            return false;
        }
    }
    if (!file.commit()) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
