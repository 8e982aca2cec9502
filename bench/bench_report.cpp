// One table of the library's main workloads at 10k, 100k and 1M rows, each beside its floor (the
// plainest loop doing the same walk) and its peer (Qt's or KDE's machinery doing the same job).
// Peers run in a child process killed at a time cap, so a quadratic peer cannot stall the run.
// The viewport paint is also measured at 2M rows and at a 3840x2160 viewport.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench/bench_report (add "paint" for the paint rows alone)

#include "BenchGrid.h"
#include "BenchHarness.h"
#include "BenchTrees.h"

#include <BaseDataItem.h>
#include <BaseDataItemModel.h>
#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#ifdef HAVE_KDESCENDANTSPROXYMODEL
#include <KDescendantsProxyModel>
#endif

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;

constexpr int peerCapSeconds = 15;
constexpr int rootCount = 10; // so the first top-level row holds 10% of the rows
const std::vector<int> sizes = {10000, 100000, 1000000};
const std::vector<int> paintSizes = {10000, 100000, 1000000, 2000000}; // growth is read against the second

// ---- Measuring ----

// The peer's milliseconds, measured in a child process; -1 when it passed the cap.
double runCapped(const std::function<double()>& measure)
{
    const BenchHarness::Child child = BenchHarness::forked([&measure] { return QByteArray::number(measure(), 'f', 4); },
                                                           peerCapSeconds);
    bool ok = false;
    const double ms = child.output.toDouble(&ok);
    return child.finished && ok ? ms : -1;
}

// A peer that missed the cap at one size is not tried at the larger ones.
double runPeer(const char* peer, const std::function<double()>& measure)
{
    static std::map<std::string, bool> gaveUp;
    if (gaveUp[peer])
        return -1;
    const double ms = runCapped(measure);
    gaveUp[peer] = ms < 0;
    return ms;
}

// ---- The table ----

struct Result
{
    QString workload;
    int rows;
    double ours;
    double floorMs; // < 0: no floor
    QString peer; // empty: no peer
    double peerMs; // < 0: did not finish
};

std::vector<Result> results;

QString cell(double ms)
{
    return ms < 0 ? QStringLiteral("-") : QString::number(ms, 'f', ms < 1 ? 4 : 2);
}

QString ratio(double ours, double other)
{
    return other <= 0 ? QStringLiteral("-") : QString::number(ours / other, 'f', 2);
}

// A peer's time when the peer is not in this build (KDescendantsProxyModel has no Qt 6 package).
constexpr double peerNotBuilt = -2;

void record(const QString& workload, int rows, double ours, double floorMs)
{
    results.push_back({workload, rows, ours, floorMs, QString(), -1});
}

void recordWithPeer(const QString& workload, int rows, double ours, double floorMs, const QString& peer, double peerMs)
{
    results.push_back({workload, rows, ours, floorMs, peer, peerMs});
}

QString peerCell(const Result& result)
{
    if (result.peer.isEmpty())
        return QStringLiteral("-");
    if (result.peerMs == peerNotBuilt)
        return QStringLiteral("peer not built");
    return result.peerMs < 0 ? QStringLiteral("did not finish in %1 s").arg(peerCapSeconds) : cell(result.peerMs);
}

void printTable()
{
    BenchHarness::printTableHeader({"workload", "rows", "ours (ms)", "floor (ms)", "peer", "peer (ms)", "ours/floor", "ours/peer"},
                                   "lrrrlrrr");
    for (const Result& result : results) {
        BenchHarness::printTableRow({result.workload, QString::number(result.rows), cell(result.ours), cell(result.floorMs),
                                     result.peer.isEmpty() ? QStringLiteral("-") : result.peer, peerCell(result),
                                     ratio(result.ours, result.floorMs), ratio(result.ours, result.peerMs)});
    }
}

// The row of the same workload and peer at another size, or null.
const Result* resultAt(const Result& like, int rows)
{
    for (const Result& result : results) {
        if (result.rows == rows && result.workload == like.workload && result.peer == like.peer)
            return &result;
    }
    return nullptr;
}

QString peerRatio(const Result& result, const Result& base)
{
    return result.peerMs < 0 || base.peerMs < 0 ? QStringLiteral("-") : ratio(result.peerMs, base.peerMs);
}

void printScaling()
{
    std::printf("\nScaling 1M / 10k rows (linear = 100):\n\n");
    BenchHarness::printTableHeader({"workload", "ours", "floor", "peer"}, "lrrr");
    for (const Result& small : results) {
        const Result* large = small.rows == sizes[0] ? resultAt(small, sizes[2]) : nullptr;
        if (!large)
            continue;
        BenchHarness::printTableRow({small.workload + (small.peer.isEmpty() ? QString() : " (peer " + small.peer + ")"),
                                     ratio(large->ours, small.ours), ratio(large->floorMs, small.floorMs),
                                     peerRatio(*large, small)});
    }
}

// Paint from 100k to 1M to 2M rows, each size against 100k (flat = 1.00: the viewport's cells alone).
void printPaintGrowth()
{
    std::printf("\nPaint growth, against 100k rows (flat = 1.00):\n\n");
    BenchHarness::printTableHeader({"workload", "ours 100k / 1M / 2M (ms)", "ours 1M/100k, 2M/100k",
                                    "QTreeView 100k / 1M / 2M (ms)", "QTreeView 1M/100k, 2M/100k"}, "lrrrr");
    for (const Result& base : results) {
        if (base.rows != paintSizes[1] || base.peer != QLatin1String("QTreeView") || !base.workload.contains("paint"))
            continue;
        const Result* larger = resultAt(base, paintSizes[2]);
        const Result* largest = resultAt(base, paintSizes[3]);
        if (!larger || !largest)
            continue;
        BenchHarness::printTableRow(
            {base.workload, cell(base.ours) + " / " + cell(larger->ours) + " / " + cell(largest->ours),
             ratio(larger->ours, base.ours) + ", " + ratio(largest->ours, base.ours),
             cell(base.peerMs) + " / " + cell(larger->peerMs) + " / " + cell(largest->peerMs),
             peerRatio(*larger, base) + ", " + peerRatio(*largest, base)});
    }
}

// ---- Trees ----

/// A tree model bound to the flattened tree, tree column 0, ten columns.
struct BoundTree
{
    explicit BoundTree(int rows)
        : roots(buildTree(rows, rootCount))
        , list(roots)
    {
        model.setHeaderColumn(&columns.header);
        model.setTreeColumn(0);
        model.BindSrcData(&list, true);
    }
    ~BoundTree() { freeTree(roots); }

    QList<BaseDataItem*> roots;
    QList<BaseDataItem*> list;
    Columns columns;
    zTreeItemModel model;
};

// ---- Tree model workloads ----

#ifdef HAVE_KDESCENDANTSPROXYMODEL
double proxyFlattenMs(int rows)
{
    QStandardItemModel source;
    buildStandardTree(source, rows, rootCount);
    return BenchHarness::bestOf(3, [&] {
        KDescendantsProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.rowCount();
    });
}

double proxyCollapseExpandMs(int rows)
{
    QStandardItemModel source;
    buildStandardTree(source, rows, rootCount);
    KDescendantsProxyModel proxy;
    proxy.setSourceModel(&source);
    const QModelIndex node = source.index(0, 0);
    return BenchHarness::bestOf(3, [&] {
        proxy.collapseSourceIndex(node);
        proxy.expandSourceIndex(node);
    });
}
#endif

double treeViewCollapseExpandMs(int rows)
{
    ExpandedTreeView peer(rows, rootCount);
    const QModelIndex node = peer.source.index(0, 0);
    return BenchHarness::bestOf(3, [&] {
        peer.view.collapse(node);
        peer.view.expand(node);
    });
}

void bindWorkload(int rows)
{
    BoundTree bound(rows);
    const double floorMs = BenchHarness::bestOf(3, [&] { preOrder(bound.roots); });
    const double ours = BenchHarness::bestOf(3, [&] { bound.list = bound.roots; }, [&] { bound.model.BindSrcData(&bound.list, true); });
#ifdef HAVE_KDESCENDANTSPROXYMODEL
    const double peerMs = runPeer("flatten", [rows] { return proxyFlattenMs(rows); });
    recordWithPeer("tree BindSrcData(list, true)", rows, ours, floorMs, "KDescendantsProxyModel", peerMs);
#else
    recordWithPeer("tree BindSrcData(list, true)", rows, ours, floorMs, "KDescendantsProxyModel", peerNotBuilt);
#endif
}

void collapseExpandWorkload(int rows)
{
    BoundTree bound(rows);
    QAbstractItemModel* model = &bound.model;
    const QModelIndex node = model->index(0, 0);
    int shown = 0;
    const double floorMs = BenchHarness::bestOf(3, [&] {
        shown = 0;
        for (BaseDataItem* row : qAsConst(bound.list))
            shown += row->getVisible() ? 1 : 0;
    });
    const double ours = BenchHarness::bestOf(3, [&] {
        model->setData(node, false, zTreeItemModel::TreeExpandedRole);
        model->setData(node, true, zTreeItemModel::TreeExpandedRole);
    });
    const QString workload = QStringLiteral("tree collapse + expand, 10% node");
    recordWithPeer(workload, rows, ours, floorMs, "QTreeView",
                   runPeer("treeview expand", [rows] { return treeViewCollapseExpandMs(rows); }));
#ifdef HAVE_KDESCENDANTSPROXYMODEL
    recordWithPeer(workload, rows, ours, floorMs, "KDescendantsProxyModel",
                   runPeer("proxy expand", [rows] { return proxyCollapseExpandMs(rows); }));
#else
    recordWithPeer(workload, rows, ours, floorMs, "KDescendantsProxyModel", peerNotBuilt);
#endif
}

// Every tree role plus display of a 50 x 10 viewport in the middle of the tree.
void viewportReadWorkload(int rows)
{
    BoundTree bound(rows);
    QAbstractItemModel* model = &bound.model;
    const int firstRow = model->rowCount() / 2;
    const int treeRoles[] = {205, 206, 207, 208, 210, 211, 219, 220};
    volatile int sink = 0;
    const double ours = BenchHarness::bestOf(5, [&] {
        for (int virtualRow = firstRow; virtualRow < firstRow + 50; ++virtualRow) {
            for (int role : treeRoles)
                sink = sink + model->data(model->index(virtualRow, 0), role).isValid();
            for (int column = 0; column < 10; ++column)
                sink = sink + model->data(model->index(virtualRow, column), Qt::DisplayRole).isValid();
        }
    });
    const double floorMs = BenchHarness::bestOf(5, [&] {
        for (int listRow = firstRow; listRow < firstRow + 50; ++listRow)
            sink = sink + bound.list.at(listRow)->getVisible();
    });
    record("tree roles + display, 50x10 viewport", rows, ours, floorMs);
}

// ---- Grid model workloads ----

/// A flat pre-order list of rootCount equal subtrees (a row, rows/100 children, 9 grandchildren each).
struct GridEstimate
{
    explicit GridEstimate(int rows)
    {
        owned.reserve(size_t(rows) + rootCount);
        for (int rootPos = 0; rootPos < rootCount; ++rootPos) {
            TreeBaseItem* root = add(nullptr, 0);
            QList<BaseDataItem*> children;
            for (int childPos = 0; childPos < rows / 100; ++childPos)
                children.append(addWithLeaves(root));
            root->setBaseDataItemListDirect(children);
        }
        model.BindSrcData(&list);
    }
    TreeBaseItem* add(TreeBaseItem* parent, int level)
    {
        owned.push_back(std::make_unique<TreeBaseItem>());
        TreeBaseItem* row = owned.back().get();
        row->setLevel(level);
        row->setParentAlone(parent);
        list.append(row);
        return row;
    }
    TreeBaseItem* addWithLeaves(TreeBaseItem* parent)
    {
        TreeBaseItem* row = add(parent, 1);
        QList<BaseDataItem*> leaves;
        for (int leaf = 0; leaf < 9; ++leaf)
            leaves.append(add(row, 2));
        row->setBaseDataItemListDirect(leaves);
        return row;
    }

    std::vector<std::unique_ptr<TreeBaseItem>> owned;
    QList<BaseDataItem*> list;
    BaseDataItemModel model;
};

void gridWorkloads(int rows)
{
    GridEstimate estimate(rows);
    volatile long sink = 0;
    const int firstRow = estimate.list.size() / 2;
    sink = sink + gridViewportQueries(estimate.model, firstRow); // warm the descendant counts
    const double queries = BenchHarness::bestOf(5, [&] { sink = sink + gridViewportQueries(estimate.model, firstRow); });
    const double queriesFloor = BenchHarness::bestOf(5, [&] {
        for (int row = firstRow; row < firstRow + 50; ++row)
            sink = sink + estimate.list.at(row)->getVisible();
    });
    record("grid tree queries, 50-row viewport", rows, queries, queriesFloor);

    const int blockEnd = rows / 10; // the first top-level row and its descendants
    const double fold = BenchHarness::bestOf(3, [&] {
        sink = sink + estimate.model.getExpandOrFlodChildren(0, true).size();
        sink = sink + estimate.model.getExpandOrFlodChildren(0, false).size();
    });
    const double foldFloor = BenchHarness::bestOf(3, [&] {
        for (int row = 1; row <= blockEnd; ++row)
            estimate.list.at(row)->setVisible(false);
        for (int row = 1; row <= blockEnd; ++row)
            estimate.list.at(row)->setVisible(true);
    });
    record("grid getExpandOrFlodChildren fold + unfold, 10% block", rows, fold, foldFloor);
}

// ---- Block selection ----

void blockWorkloads(int rows)
{
    std::vector<std::unique_ptr<BaseDataItem>> owned;
    QList<BaseDataItem*> list;
    for (int listRow = 0; listRow < rows; ++listRow) {
        owned.push_back(std::make_unique<BaseDataItem>());
        list.append(owned.back().get());
    }
    Columns columns;
    zBaseItemModel model;
    model.setHeaderColumn(&columns.header);
    model.BindSrcData(&list);
    QTableView view;
    view.setModel(&model);
    zBaseItemViewBlock::RegistUseBlock(&view);
    view.resize(400, 300);
    view.show();
    const QModelIndex middle = model.index(rows / 2, 0);
    view.setCurrentIndex(middle);
    view.scrollTo(middle, QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();

    auto clearMarks = [&] {
        for (BaseDataItem* row : qAsConst(list))
            row->SetBlock(0);
    };
    const double floorMs = BenchHarness::bestOf(3, clearMarks, [&] {
        for (BaseDataItem* row : qAsConst(list))
            row->SetBlock(1);
    });
    const double f4 = BenchHarness::bestOf(3, clearMarks, [&] {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_F4, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    });
    record("block F4 select all", rows, f4, floorMs);

    const QPoint middlePosition = view.visualRect(middle).center();
    auto twoFarBlocks = [&] {
        clearMarks();
        list.first()->SetBlock(1);
        list.last()->SetBlock(1);
    };
    const double shiftClick = BenchHarness::bestOf(3, twoFarBlocks, [&] {
        QMouseEvent event(QEvent::MouseButtonRelease, middlePosition, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(view.viewport(), &event);
    });
    record("block Shift+click between far blocks", rows, shiftClick, floorMs);
}

// ---- Painting ----

// The bench's usual window and a 4K screen: about twelve times the cells.
const QSize smallViewport(1000, 700);
const QSize screenViewport(3840, 2160);

// A paint is a few milliseconds of the GUI thread: on a shared machine a wall clock mostly measures
// the other processes' time slices, so paints are timed by the painting thread's own CPU clock.
double bestThreadCpuOf(int runs, const std::function<void()>& measured)
{
    const auto now = [] {
        timespec clock{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &clock);
        return clock.tv_sec * 1e3 + clock.tv_nsec / 1e6;
    };
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const double start = now();
        measured();
        best = std::min(best, now() - start);
    }
    return best;
}

double paintMs(QAbstractItemView& view, const QSize& size)
{
    view.resize(size);
    view.show();
    QCoreApplication::processEvents();
    QScrollBar* bar = view.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    // The first paints of a process fill Qt's font and glyph caches.
    view.viewport()->render(&image);
    return bestThreadCpuOf(100, [&] { view.viewport()->render(&image); });
}

double treeViewPaintMs(int rows, const QSize& size)
{
    QStandardItemModel source;
    buildStandardTree(source, rows, rootCount);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setModel(&source);
    view.expandAll();
    return paintMs(view, size);
}

void paintWorkload(int rows)
{
    BoundTree bound(rows);
    bound.model.dataStarting([](int role, const QModelIndex& index, const zBaseHeaderItem*, QVariant& value) {
        if (role != Qt::DisplayRole || index.column() != 0)
            return false;
        value = QStringLiteral("row %1").arg(index.row());
        return true;
    });
    for (const QSize& size : {smallViewport, screenViewport}) {
        zTreeItemView view;
        view.setModel(&bound.model);
        ZTVModeOption option;
        option.displayStyle = 1;
        view.setTreeModeDisplay(0, option);
        const double ours = paintMs(view, size);
        const QString workload = size == smallViewport
            ? QStringLiteral("zTreeItemView viewport paint")
            : QStringLiteral("zTreeItemView viewport paint, %1x%2").arg(size.width()).arg(size.height());
        const std::string peer = "treeview paint " + workload.toStdString();
        recordWithPeer(workload, rows, ours, -1, "QTreeView",
                       runPeer(peer.c_str(), [rows, size] { return treeViewPaintMs(rows, size); }));
    }
}

// A workload run at each size in turn.
BenchHarness::Workload atSizes(void (*workload)(int), const std::vector<int>& rowCounts)
{
    return [workload, rowCounts] {
        for (int rows : rowCounts)
            workload(rows);
    };
}

void printReport(const QElapsedTimer& total)
{
    std::printf("Best of a few runs; ratios are ours / other. Peers capped at %d s in a child process.\n\n",
                peerCapSeconds);
    printTable();
    printScaling();
    printPaintGrowth();
    std::printf("\nTotal run: %.0f s\n", total.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    QElapsedTimer total;
    total.start();
    // "paint" alone runs the paint rows only (at 10k, 100k, 1M and 2M rows).
    std::vector<BenchHarness::Workload> workloads;
    if (argc < 2 || qstrcmp(argv[1], "paint") != 0) {
        workloads = {atSizes(bindWorkload, sizes), atSizes(collapseExpandWorkload, sizes),
                     atSizes(viewportReadWorkload, sizes), atSizes(gridWorkloads, sizes), atSizes(blockWorkloads, sizes)};
    }
    workloads.push_back(atSizes(paintWorkload, paintSizes));
    harness.run(workloads);
    printReport(total);
    return 0;
}
