// Opening, saving and generating estimates of 100k, 1M and 2M rows in total, in one run, against
// their floors: a plain simdjson On Demand read of the same file into structs with std::string
// fields, and a plain buffered write of the same bytes. Each measurement runs in its own child
// process so that its peak resident memory is its own.
//
//   bench_EstimateOpen                 the whole table (files in /tmp, removed afterwards)
//   bench_EstimateOpen growth          open and its longest stall against the floor at 100k, 1M and 2M rows per work
//   bench_EstimateOpen MODE FILE|ROWS  one measurement: floor, read, read2 (two threads), open, save, plainwrite, generate

#include "BenchHarness.h"

#include <EstimateGenerator.h>
#include <EstimateJson.h>
#include <ViewerWindow.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

using bench::BenchHarness;

const auto fixed = BenchHarness::fixed;

namespace {

// The floor: what any reader of this file must do, with nothing of the viewer's. The same program as
// the project's shared floor (read_floor.cpp, which ../shared/tools/open-vs-floor.sh times): simdjson On
// Demand over the whole file into plain rows with std::string fields.
struct PlainRow
{
    long id, parent;
    std::string code, name, unit;
    double q, p, t;
};

size_t floorRead(const char* path, std::vector<PlainRow>& rows)
{
    using namespace simdjson;
    padded_string json = padded_string::load(path);
    ondemand::parser parser;
    auto doc = parser.iterate(json);
    rows.reserve(2100000);
    for (auto work : doc["works"].get_array()) {
        for (auto table : work.value()["tables"].get_array()) {
            for (auto r : table.value()["rows"].get_array()) {
                PlainRow row{};
                for (auto field : r.value().get_object()) {
                    std::string_view k = field.unescaped_key();
                    auto v = field.value();
                    if (k == "id") row.id = int64_t(v.get_int64());
                    else if (k == "parent") { if (!v.is_null()) row.parent = int64_t(v.get_int64()); }
                    else if (k == "code") row.code = std::string_view(v.get_string());
                    else if (k == "name") row.name = std::string_view(v.get_string());
                    else if (k == "unit") row.unit = std::string_view(v.get_string());
                    else if (k == "quantity") row.q = double(v.get_double());
                    else if (k == "unitPrice") row.p = double(v.get_double());
                    else if (k == "total") row.t = double(v.get_double());
                }
                rows.push_back(std::move(row));
            }
        }
    }
    return rows.size();
}

void plainWrite(const QByteArray& bytes, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
    fsync(fileno(file)); // the saved file is synced too before it replaces the old one
    std::fclose(file);
}

double g_longestStallMs = 0; // the longest the GUI thread went without turning its event loop
double g_residentMb = 0; // resident memory once the estimate is shown
double g_closeMs = 0; // the GUI thread's time to close the window and let go of the estimate

double residentMb()
{
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm && std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    if (statm)
        std::fclose(statm);
    return resident * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Shows the window, runs a load through it and waits for its first painted frame. A 10 ms timer
// on the GUI thread finds the longest stall: binding the tabs is the part that cannot leave it.
// Then closes the window, as quitting does: the rows must not hold up the GUI thread.
double showInViewer(const std::function<void(ViewerWindow&)>& load)
{
    auto* window = new ViewerWindow;
    window->setProperty("headless", true);
    window->show();
    QEventLoop waitForLoad;
    QObject::connect(window, &ViewerWindow::loadFinished, &waitForLoad, &QEventLoop::quit);
    QElapsedTimer timer;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&sinceTick] {
        g_longestStallMs = std::max(g_longestStallMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    timer.start();
    sinceTick.start();
    ticker.start(10);
    load(*window);
    waitForLoad.exec();
    window->repaint();
    g_longestStallMs = std::max(g_longestStallMs, sinceTick.nsecsElapsed() / 1e6);
    const double elapsed = timer.nsecsElapsed() / 1e6;
    g_residentMb = residentMb();
    QElapsedTimer closing;
    closing.start();
    delete window;
    g_closeMs = closing.nsecsElapsed() / 1e6;
    return elapsed;
}

double measure(const QString& mode, const QString& argument)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (mode == "floor") {
        std::vector<PlainRow> rows;
        floorRead(argument.toLocal8Bit().constData(), rows);
    } else if (mode == "read" || mode == "read2") {
        EstimateJson::read(argument, &error, nullptr, mode == "read2" ? 2 : 1).release(); // freeing is not part of reading
    } else if (mode == "open") {
        return showInViewer([&argument](ViewerWindow& window) { window.openFile(argument); });
    } else if (mode == "generate") {
        return showInViewer([&argument](ViewerWindow& window) { window.generate(argument.toInt()); });
    } else if (mode == "save" || mode == "plainwrite") {
        auto estimate = EstimateJson::read(argument, &error);
        QFile file(argument);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = mode == "plainwrite" ? file.readAll() : QByteArray();
        timer.restart();
        if (mode == "save")
            EstimateJson::write(*estimate, argument + ".saved", &error);
        else
            plainWrite(bytes, (argument + ".saved").toStdString());
        estimate.release();
    }
    return timer.nsecsElapsed() / 1e6;
}

struct Measured
{
    double ms = 0;
    double peakMb = 0;
    double longestStallMs = 0;
    double residentMb = 0;
    double closeMs = 0;
    double cpuMs = 0; // user and system time of the whole child: what a loaded machine cannot stretch
};

// Runs one measurement in a fresh process: its time as it reports it, its peak RSS from the kernel.
Measured runChild(const char* self, const char* mode, const QString& argument)
{
    const BenchHarness::Child child = BenchHarness::program({self, mode, argument.toLocal8Bit()});
    Measured measured{-1, child.peakMb, 0, 0, 0, child.cpuMs};
    std::sscanf(child.output.constData(), "%lf %lf %lf %lf", &measured.ms, &measured.longestStallMs, &measured.residentMb,
                &measured.closeMs);
    return measured;
}

QString perRow(double mb, int rows)
{
    return fixed(mb * 1048576.0 / rows, 0);
}

void printRow(const char* workload, int rows, const Measured& ours, const Measured& floor)
{
    BenchHarness::printTableRow({workload, QString::number(rows), fixed(ours.ms, 0), fixed(floor.ms, 0),
                                 fixed(ours.ms / floor.ms, 2), fixed(ours.peakMb, 0),
                                 fixed(floor.peakMb, 0), perRow(ours.peakMb, rows), perRow(floor.peakMb, rows)});
}

void printStallRow(int rows, const Measured& open)
{
    BenchHarness::printTableRow(
        {QString::asprintf("(open: longest GUI-thread stall %.0f ms; closing the window %.0f ms; resident once shown %.0f MB = %.0f bytes/row)",
                           open.longestStallMs, open.closeMs, open.residentMb, open.residentMb * 1048576.0 / rows),
         QString::number(rows), "", "", "", "", "", "", ""});
}

QString writeEstimate(const QTemporaryDir& dir, int rowsPerWork)
{
    const QString path = dir.filePath(QStringLiteral("estimate-%1.json").arg(rowsPerWork));
    QString error;
    // the estimate is freed before the measurements, so that the children have the memory
    EstimateJson::write(*EstimateGenerator::generate(rowsPerWork), path, &error);
    return path;
}

// Open time and the longest stall against the floor at 100k, 1M and 2M rows per work (two works), in one
// run: each grows no faster than the floor when the last two columns stay near 1.
void growth(const char* self, const QTemporaryDir& dir)
{
    BenchHarness::printTableHeader({"rows per work", "rows in total", "floor (ms)", "open (ms)", "open/floor", "CPU: open/floor",
                                    "longest stall (ms)", "closing (ms)", "floor growth from 100k",
                                    "open growth / floor growth", "stall growth / floor growth"},
                                   "rrrrrrrrrrr");
    const int sizes[] = {100000, 1000000, 2000000};
    Measured firstFloor, firstOpen;
    for (int rowsPerWork : sizes) {
        const QString path = writeEstimate(dir, rowsPerWork);
        const Measured floor = runChild(self, "floor", path); // also warms the page cache for both
        const Measured open = runChild(self, "open", path);
        if (rowsPerWork == sizes[0]) {
            firstFloor = floor;
            firstOpen = open;
        }
        const double floorGrowth = floor.ms / firstFloor.ms;
        BenchHarness::printTableRow({QString::number(rowsPerWork), QString::number(2 * rowsPerWork), fixed(floor.ms, 0),
                                     fixed(open.ms, 0), fixed(open.ms / floor.ms, 2),
                                     fixed(open.cpuMs / floor.cpuMs, 2), fixed(open.longestStallMs, 0),
                                     fixed(open.closeMs, 0), fixed(floorGrowth, 1),
                                     fixed(open.ms / firstOpen.ms / floorGrowth, 2),
                                     fixed(open.longestStallMs / firstOpen.longestStallMs / floorGrowth, 2)});
        QFile::remove(path);
    }
}

// Read, open, save and generate an estimate of two works of rowsPerWork rows, each against its floor.
void openSaveGenerate(const char* self, const QTemporaryDir& dir, int rowsPerWork)
{
    const QString path = writeEstimate(dir, rowsPerWork);
    const int rows = 2 * rowsPerWork;
    const Measured floor = runChild(self, "floor", path);
    const Measured open = runChild(self, "open", path);
    const Measured read = runChild(self, "read", path);
    printRow("floor read vs our read (parse, build rows)", rows, read, floor);
    printRow("our read: two works on two threads vs one", rows, runChild(self, "read2", path), read);
    printRow("open: read, build, bind all tabs, first frame", rows, open, floor);
    printStallRow(rows, open);
    printRow("save vs plain buffered write of the bytes", rows, runChild(self, "save", path), runChild(self, "plainwrite", path));
    printRow("generate + show vs open", rows, runChild(self, "generate", QString::number(rowsPerWork)), open);
    QFile::remove(path);
    QFile::remove(path + ".saved");
}

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    if (argc == 3) {
        const double ms = measure(argv[1], argv[2]);
        std::printf("%.3f %.3f %.3f %.3f\n", ms, g_longestStallMs, g_residentMb, g_closeMs);
        std::fflush(stdout);
        _exit(0); // the process ends here: tearing down millions of rows is no part of any measurement
    }
    QTemporaryDir dir(QStringLiteral("/tmp/bench_EstimateOpen-XXXXXX"));
    if (argc == 2 && QByteArray(argv[1]) == "growth")
        return harness.run({[&] { growth(argv[0], dir); }});
    BenchHarness::printTableHeader({"workload", "rows in total", "ours (ms)", "floor (ms)", "ours/floor", "ours peak RSS (MB)",
                                    "floor peak RSS (MB)", "ours bytes/row", "floor bytes/row"},
                                   "lrrrrrrrr");
    return harness.run({
        [&] { openSaveGenerate(argv[0], dir, 50000); },
        [&] { openSaveGenerate(argv[0], dir, 500000); },
        [&] { openSaveGenerate(argv[0], dir, 1000000); },
    });
}
