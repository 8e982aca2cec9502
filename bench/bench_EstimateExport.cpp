// Exporting the tree tab's table of a generated estimate (1,000,000 rows by default) as a workbook, against
// its floor: libxlsxwriter in the same constant-memory mode writing the same cells (the same formulas,
// formats and outline levels) straight from the table's pre-order row list, with none of the viewer's walk
// over what the view shows. The CSV export of the same rows is listed beside them. Each measurement runs in
// a child forked once the estimate is shown, so its peak resident memory above the shown estimate is its own.
//
//   bench_EstimateExport [ROWS]

#include "BenchHarness.h"

#include <CsvExport.h>
#include <EstimateGenerator.h>
#include <ShownTable.h>
#include <TreeTab.h>
#include <WorkbookExport.h>
#include <zTreeItemView.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using bench::BenchHarness;

const auto fixed = BenchHarness::fixed;

namespace {

// VmRSS or VmHWM of this process, in MiB.
double statusMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The floor: the cells any workbook of this table holds, written in row order.
bool floorWrite(const Estimate::Table& table, const char* path)
{
    lxw_workbook_options options{LXW_TRUE, nullptr, LXW_FALSE};
    lxw_workbook* workbook = workbook_new_opt(path, &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* number = workbook_add_format(workbook);
    format_set_num_format(number, "#,##0.00");
    const char* titles[] = {"Code", "Description", "Unit", "Quantity", "Unit price", "Total"};
    for (int column = 0; column < 6; ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), titles[column], nullptr);
    lxw_row_t row = 0;
    char formula[64];
    for (BaseDataItem* item : table.rows) {
        ++row;
        lxw_row_col_options outline{0, uint8_t(std::min(item->getLevel(), 7)), 0};
        worksheet_set_row_opt(sheet, row, LXW_DEF_ROW_HEIGHT, nullptr, &outline);
        for (int field : {EstimateField::Code, EstimateField::Name, EstimateField::Unit}) {
            const QVariant text = item->getValue(field);
            if (text.isValid())
                worksheet_write_string(sheet, row, lxw_col_t(field - EstimateField::Code), text.toString().toUtf8().constData(), nullptr);
        }
        const QVariant quantity = item->getValue(EstimateField::Quantity);
        const QVariant unitPrice = item->getValue(EstimateField::UnitPrice);
        if (quantity.isValid())
            worksheet_write_number(sheet, row, 3, quantity.toDouble(), number);
        if (unitPrice.isValid())
            worksheet_write_number(sheet, row, 4, unitPrice.toDouble(), number);
        const double total = item->getValue(EstimateField::Total).toDouble();
        const int below = item->getChildrenItemCount();
        if (below > 0)
            std::snprintf(formula, sizeof formula, "SUBTOTAL(9,F%u:F%u)", row + 2, row + 1 + below);
        else if (quantity.isValid() && unitPrice.isValid())
            std::snprintf(formula, sizeof formula, "D%u*E%u", row + 1, row + 1);
        if (below > 0 || (quantity.isValid() && unitPrice.isValid()))
            worksheet_write_formula_num(sheet, row, 5, formula, number, total);
        else
            worksheet_write_number(sheet, row, 5, total, number);
    }
    return workbook_close(workbook) == LXW_NO_ERROR;
}

// One export into a file of the system's temporary folder, in a forked child so that its peak
// resident memory above the shown estimate is its own. Prints its row (ratio against floorMs; the
// floor's own row passes a negative one) and returns its time.
double exportRow(const char* label, const char* fileName, const std::function<bool(const QString&)>& write, double floorMs)
{
    const QString path = QDir::tempPath() + '/' + fileName;
    const BenchHarness::Child child = BenchHarness::forked([&] {
        const double startMb = statusMb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        const bool done = write(path);
        return QByteArray::number(done ? timer.nsecsElapsed() / 1e6 : -1.0, 'f', 6) + ' '
            + QByteArray::number(statusMb("VmHWM:") - startMb, 'f', 6);
    });
    const QList<QByteArray> figures = child.output.split(' ');
    const double ms = figures.size() == 2 ? figures.at(0).toDouble() : -1;
    const double peakMb = figures.size() == 2 ? figures.at(1).toDouble() : -1;
    BenchHarness::printTableRow({label, fixed(ms, 0), fixed(peakMb, 1),
                                 fixed(QFileInfo(path).size() / 1048576.0, 1),
                                 fixed(floorMs < 0 ? 1.0 : ms / floorMs, 2)});
    QFile::remove(path);
    return ms;
}

/// The tree tab showing the first table of a generated estimate.
struct ShownEstimate
{
    explicit ShownEstimate(int rows)
        : estimate(EstimateGenerator::generate(rows))
        , table(*estimate->works.front()->tables.front())
    {
        tab.setTable(&table);
    }
    bool writeWorkbook(const QString& path) { return WorkbookExport::write(ShownTable(*tab.view(), estimate.get()), path, &error); }
    bool writeCsv(const QString& path) { return CsvExport::write(ShownTable(*tab.view(), estimate.get()), path, &error); }

    std::unique_ptr<Estimate> estimate;
    Estimate::Table& table;
    TreeTab tab;
    QString error;
};

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    ShownEstimate shown(argc > 1 ? QByteArray(argv[1]).toInt() : 1000000);
    std::printf("%d rows in the table; resident memory with the estimate shown: %.0f MiB\n\n", int(shown.table.rows.size()),
                statusMb("VmRSS:"));
    BenchHarness::printTableHeader({"export", "ms", "peak above the shown estimate (MiB)", "file (MiB)", "ms / floor"}, "lrrrr");
    double floorMs = -1;
    const auto floor = [&shown](const QString& path) { return floorWrite(shown.table, QFile::encodeName(path).constData()); };
    const auto workbook = [&shown](const QString& path) { return shown.writeWorkbook(path); };
    const auto csv = [&shown](const QString& path) { return shown.writeCsv(path); };
    return harness.run({
        [&] { floorMs = exportRow("floor: libxlsxwriter, the same cells from the row list", "bench-floor.xlsx", floor, -1); },
        [&] { exportRow("WorkbookExport (.xlsx)", "bench-ours.xlsx", workbook, floorMs); },
        [&] { exportRow("CsvExport (.csv), for scale", "bench-ours.csv", csv, floorMs); },
    });
}
