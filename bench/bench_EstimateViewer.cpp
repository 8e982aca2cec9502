// The viewer on a generated estimate of a million rows: opening the file (parse, build the
// rows, bind every tab), collapsing and expanding its largest section in the tree tab,
// view and spans included, and switching tabs (each tab re-reads the rows' fold flags when
// shown). The floor is a plain loop that reads one flag of every row.

#include <EstimateGenerator.h>
#include <EstimateJson.h>
#include <TreeTab.h>
#include <ViewerWindow.h>

#include <zTreeItemView.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRows = 1000000;
constexpr int kTreeColumn = 1;

double msSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

BaseDataItem* largestSection(const QList<BaseDataItem*>& rows)
{
    BaseDataItem* largest = nullptr;
    for (BaseDataItem* row : rows) {
        if (!row->getParent() && (!largest || row->getChildrenItemCount() > largest->getChildrenItemCount()))
            largest = row;
    }
    return largest;
}

// Writes role 208 on the section's node, then lets the view repaint what it shows.
double toggle(TreeTab& tab, BaseDataItem* section, bool expand)
{
    zTreeItemModel* model = tab.model();
    QElapsedTimer timer;
    timer.start();
    const QModelIndex node = model->index(model->findVirtualIndexByItem(section), kTreeColumn);
    model->setData(node, expand, zTreeItemModel::TreeExpandedRole);
    tab.view()->viewport()->repaint();
    return msSince(timer);
}

// Brings a tab to the front as a click on it does, then paints it.
double showTab(QTabWidget* tabs, int position)
{
    QElapsedTimer timer;
    timer.start();
    tabs->setCurrentIndex(position);
    tabs->currentWidget()->repaint();
    return msSince(timer);
}

double flagLoop(const QList<BaseDataItem*>& rows)
{
    QElapsedTimer timer;
    timer.start();
    int visible = 0;
    for (BaseDataItem* row : rows)
        visible += row->getVisible() ? 1 : 0;
    const double elapsed = msSince(timer);
    std::printf("  (floor loop saw %d visible rows)\n", visible);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("estimate.json");

    QElapsedTimer timer;
    timer.start();
    QString error;
    EstimateJson::write(*EstimateGenerator::generate(kRows), path, &error);
    std::printf("generate and save %d rows per work: %.0f ms\n", kRows, msSince(timer));

    timer.restart();
    const bool readable = EstimateJson::read(path, &error) != nullptr;
    std::printf("read the file alone (parse and build rows): %.0f ms%s\n", msSince(timer), readable ? "" : " FAILED");

    ViewerWindow window;
    window.setProperty("headless", true);
    window.show();
    QEventLoop waitForLoad;
    QObject::connect(&window, &ViewerWindow::loadFinished, &waitForLoad, &QEventLoop::quit);
    timer.restart();
    window.openFile(path);
    waitForLoad.exec();
    QApplication::processEvents();
    const double openMs = msSince(timer);

    TreeTab* tab = window.findChild<TreeTab*>();
    QList<BaseDataItem*>& rows = window.estimate()->works.front()->tables.front()->rows;
    BaseDataItem* section = largestSection(rows);
    const double floorMs = flagLoop(rows);
    const double collapseMs = toggle(*tab, section, false);
    const double expandMs = toggle(*tab, section, true);
    auto* tabs = window.findChild<QTabWidget*>();
    showTab(tabs, 1); // the first showing of a tab also lays it out
    showTab(tabs, 0);
    const double gridTabMs = showTab(tabs, 1);
    const double treeTabMs = showTab(tabs, 0);

    std::printf("open in the viewer (read, build, bind all tabs): %.0f ms for %d rows\n", openMs, window.estimate()->rowCount());
    std::printf("largest section: %d rows below it\n", section->getChildrenItemCount());
    std::printf("%-34s %10s %14s\n", "workload", "ms", "ratio to floor");
    std::printf("%-34s %10.2f %14s\n", "floor: one flag of every row", floorMs, "1.0");
    std::printf("%-34s %10.2f %14.1f\n", "collapse largest section", collapseMs, collapseMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "expand largest section", expandMs, expandMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "show the grid tab (hidden rows)", gridTabMs, gridTabMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "show the tree tab (shown rows)", treeTabMs, treeTabMs / floorMs);
    return 0;
}
