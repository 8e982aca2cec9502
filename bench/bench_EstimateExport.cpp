// Exporting the tree tab's table of a generated estimate (1,000,000 rows by default) as a workbook, against
// its floor: libxlsxwriter in the same constant-memory mode writing the same cells (the same formulas,
// formats and outline levels) straight from the table's pre-order row list, with none of the viewer's walk
// over what the view shows. The CSV export of the same rows is listed beside them. Each measurement runs in
// a child forked once the estimate is shown, so its peak resident memory above the shown estimate is its own.
//
//   bench_EstimateExport [ROWS]

#include <CsvExport.h>
#include <EstimateGenerator.h>
#include <ShownTable.h>
#include <TreeTab.h>
#include <WorkbookExport.h>
#include <zTreeItemView.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

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

struct Measured
{
    double ms = -1;
    double peakMb = -1; // above the resident memory at the fork
};

// Runs one export in a forked child: its time and its peak resident memory above where it started.
Measured inChild(const std::function<bool()>& work)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        const double startMb = statusMb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        const bool done = work();
        char text[64];
        const int length = std::snprintf(text, sizeof text, "%f %f", done ? double(timer.nsecsElapsed()) / 1e6 : -1.0,
                                         statusMb("VmHWM:") - startMb);
        (void)!write(pipeEnds[1], text, size_t(length));
        _exit(0);
    }
    close(pipeEnds[1]);
    char text[64] = {};
    const ssize_t length = read(pipeEnds[0], text, sizeof text - 1);
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    Measured measured;
    if (length > 0)
        std::sscanf(text, "%lf %lf", &measured.ms, &measured.peakMb);
    return measured;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    std::unique_ptr<Estimate> estimate = EstimateGenerator::generate(rows);
    Estimate::Table& table = *estimate->works.front()->tables.front();
    TreeTab tab;
    tab.setTable(&table);
    const QString directory = QDir::tempPath();
    const QByteArray floorPath = QFile::encodeName(directory + QStringLiteral("/bench-floor.xlsx"));
    const QString ourPath = directory + QStringLiteral("/bench-ours.xlsx");
    const QString csvPath = directory + QStringLiteral("/bench-ours.csv");
    QString error;
    const Measured floor = inChild([&] { return floorWrite(table, floorPath.constData()); });
    const Measured ours = inChild([&] { return WorkbookExport::write(ShownTable(*tab.view(), estimate.get()), ourPath, &error); });
    const Measured csv = inChild([&] { return CsvExport::write(ShownTable(*tab.view(), estimate.get()), csvPath, &error); });
    std::printf("%d rows in the table; resident memory with the estimate shown: %.0f MiB\n\n", int(table.rows.size()), statusMb("VmRSS:"));
    std::printf("| export | ms | peak above the shown estimate (MiB) | file (MiB) | ms / floor |\n|---|---:|---:|---:|---:|\n");
    std::printf("| floor: libxlsxwriter, the same cells from the row list | %.0f | %.1f | %.1f | 1.00 |\n", floor.ms, floor.peakMb,
                QFileInfo(QFile::decodeName(floorPath)).size() / 1048576.0);
    std::printf("| WorkbookExport (.xlsx) | %.0f | %.1f | %.1f | %.2f |\n", ours.ms, ours.peakMb, QFileInfo(ourPath).size() / 1048576.0,
                ours.ms / floor.ms);
    std::printf("| CsvExport (.csv), for scale | %.0f | %.1f | %.1f | %.2f |\n", csv.ms, csv.peakMb, QFileInfo(csvPath).size() / 1048576.0,
                csv.ms / floor.ms);
    for (const QString& path : {QFile::decodeName(floorPath), ourPath, csvPath})
        QFile::remove(path);
    return 0;
}
