// Timings of zTreeItemModel on estimate-sized trees, each against a floor (the plainest loop doing
// the same walk) and, for expand/collapse, against Qt's and KDE's tree machinery. Prints one table.
// Peers run in a child process that is abandoned at a time cap, so a quadratic peer cannot stall the run.

#include "BenchHarness.h"
#include "BenchTrees.h"

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zTreeItemModel.h>

#include <QFile>
#include <QStandardItemModel>
#include <QTreeView>
#ifdef HAVE_KDESCENDANTSPROXYMODEL
#include <KDescendantsProxyModel>
#endif

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace bench;

constexpr int peerCapSeconds = 15;

long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void printRow(const char* what, double ms, double floorMs, const char* against)
{
    std::printf("%-62s %10.2f ms   %7.2fx %s\n", what, ms, ms / floorMs, against);
}

/// A model bound to the flattened tree, tree column 0, ten columns.
struct BoundModel
{
    explicit BoundModel(const QList<BaseDataItem*>& roots)
        : list(roots)
    {
        model.setHeaderColumn(&columns.header);
        model.setTreeColumn(0);
        model.BindSrcData(&list, true);
    }
    QAbstractItemModel* qt() { return &model; }

    Columns columns;
    QList<BaseDataItem*> list;
    zTreeItemModel model;
};

// ---- Peers, each in a child process with a time cap. ----

QString runCapped(const std::function<QString()>& measure)
{
    const BenchHarness::Child child = BenchHarness::forked([&measure] { return measure().toUtf8(); }, peerCapSeconds);
    return child.output.isEmpty() ? QStringLiteral("did not finish within %1 s").arg(peerCapSeconds)
                                  : QString::fromUtf8(child.output);
}

// One collapse and the expand after it, as "collapseMs expandMs".
QString timeCollapseExpand(const std::function<void()>& collapse, const std::function<void()>& expand)
{
    const double collapseMs = BenchHarness::bestOf(1, collapse);
    const double expandMs = BenchHarness::bestOf(1, expand);
    return QStringLiteral("%1 %2").arg(collapseMs).arg(expandMs);
}

QString timeTreeView(int rows)
{
    ExpandedTreeView peer(rows, 10);
    const QModelIndex node = peer.source.index(0, 0);
    return timeCollapseExpand([&] { peer.view.collapse(node); }, [&] { peer.view.expand(node); });
}

#ifdef HAVE_KDESCENDANTSPROXYMODEL
QString timeDescendantsProxy(int rows)
{
    QStandardItemModel source;
    buildStandardTree(source, rows, 10);
    KDescendantsProxyModel proxy;
    proxy.setSourceModel(&source);
    if (proxy.rowCount() != rows)
        return QStringLiteral("unexpected row count %1").arg(proxy.rowCount());
    const QModelIndex node = source.index(0, 0);
    return timeCollapseExpand([&] { proxy.collapseSourceIndex(node); }, [&] { proxy.expandSourceIndex(node); });
}
#endif

// ---- Sections. ----

void memoryPerRow()
{
    const int rows = 1000000;
    const long before = peakKiB();
    const QList<BaseDataItem*> roots = buildTree(rows, 10);
    const long withTree = peakKiB();
    {
        BoundModel bound(roots);
        bound.model.findOriginalIndexByItem(roots.first()); // the position index is part of a bound model
        const long withModel = peakKiB();
        std::printf("%-62s %10.1f bytes/row (the rows themselves: %.1f)\n", "peak memory of a bound 1M-row tree",
                    (withModel - withTree) * 1024.0 / rows, (withTree - before) * 1024.0 / rows);
    }
    freeTree(roots);
}

// A chain of depth levels with a leaf at every level: its rows are as deep as the tree, yet a bind stays linear.
QList<BaseDataItem*> buildComb(int depth)
{
    auto* top = new TreeBaseItem;
    TreeBaseItem* spine = top;
    for (int level = 1; level < depth; ++level) {
        auto* leaf = new TreeBaseItem;
        auto* next = new TreeBaseItem;
        leaf->setParentAlone(spine);
        next->setParentAlone(spine);
        spine->setBaseDataItemListDirect({leaf, next});
        spine = next;
    }
    return {top};
}

void combBinding()
{
    const QList<BaseDataItem*> roots = buildComb(100000);
    const double walkMs = BenchHarness::bestOf(3, [&] { preOrder(roots); });
    BoundModel bound(roots);
    const double bindMs = BenchHarness::bestOf(3, [&] { bound.model.BindSrcData(&bound.list, false); });
    std::printf("%-62s %10.2f ms\n", "floor: pre-order walk of a 100k-level comb (200k rows)", walkMs);
    printRow("BindSrcData(list, false), the comb", bindMs, walkMs, "walk");
    freeTree(roots);
}

void binding()
{
    const int rows = 1000000;
    const QList<BaseDataItem*> roots = buildTree(rows, 10);
    const double walkMs = BenchHarness::bestOf(3, [&] { preOrder(roots); });
    BoundModel bound(roots);
    const double rebuildMs = BenchHarness::bestOf(3, [&] { bound.list = roots; }, [&] { bound.model.BindSrcData(&bound.list, true); });
    const double bindMs = BenchHarness::bestOf(3, [&] { bound.model.BindSrcData(&bound.list, false); });
    const double indexedMs = BenchHarness::bestOf(3, [&] {
        bound.model.BindSrcData(&bound.list, false);
        bound.model.findOriginalIndexByItem(roots.first());
    });
    std::printf("%-62s %10.2f ms\n", "floor: pre-order walk of 1M rows into a vector", walkMs);
    printRow("BindSrcData(list, true), 1M rows, depth 4", rebuildMs, walkMs, "walk");
    printRow("BindSrcData(list, false), 1M rows, depth 4", bindMs, walkMs, "walk");
    printRow("BindSrcData(list, false) + position index", indexedMs, walkMs, "walk");
    freeTree(roots);
    combBinding();
}

// The peers' collapse and expand against ours; a peer that missed the cap is not tried at larger sizes.
void comparePeers(int rows, double collapseMs, double expandMs)
{
    const QString size = QStringLiteral("%1 rows").arg(rows);
    auto reportPeer = [&](const char* peer, const QString& result) {
        const QStringList times = result.split(' ');
        bool ok = times.size() == 2;
        const double peerCollapse = times.value(0).toDouble(&ok);
        const double peerExpand = times.value(1).toDouble();
        if (!ok) {
            std::printf("%-62s %s\n", qPrintable(QStringLiteral("%1, %2").arg(peer, size)), qPrintable(result));
            return false;
        }
        printRow(qPrintable(QStringLiteral("%1 collapse, %2").arg(peer, size)), peerCollapse, collapseMs, "ours");
        printRow(qPrintable(QStringLiteral("%1 expand, %2").arg(peer, size)), peerExpand, expandMs, "ours");
        return true;
    };
    static bool treeViewFinished = true;
    if (treeViewFinished)
        treeViewFinished = reportPeer("QTreeView+QStandardItemModel", runCapped([rows] { return timeTreeView(rows); }));
    else
        std::printf("%-62s skipped (did not finish at a smaller size)\n", qPrintable("QTreeView+QStandardItemModel, " + size));
#ifdef HAVE_KDESCENDANTSPROXYMODEL
    static bool proxyFinished = true;
    if (proxyFinished)
        proxyFinished = reportPeer("KDescendantsProxyModel", runCapped([rows] { return timeDescendantsProxy(rows); }));
    else
        std::printf("%-62s skipped (did not finish at a smaller size)\n", qPrintable("KDescendantsProxyModel, " + size));
#else
    std::printf("%-62s peer not built\n", qPrintable("KDescendantsProxyModel, " + size));
#endif
}

// Collapse then expand the first of ten top-level rows (10% of the tree).
void expandCollapse(int rows)
{
    const QList<BaseDataItem*> roots = buildTree(rows, 10);
    BoundModel bound(roots);
    const QModelIndex node = bound.qt()->index(0, 0);
    int shown = 0;
    const double floorMs = BenchHarness::bestOf(3, [&] {
        shown = 0;
        for (BaseDataItem* row : qAsConst(bound.list))
            shown += row->getVisible() ? 1 : 0;
    });
    double collapseMs = 1e300;
    double expandMs = 1e300;
    for (int run = 0; run < 3; ++run) {
        collapseMs = std::min(collapseMs, BenchHarness::bestOf(1, [&] { bound.qt()->setData(node, false, zTreeItemModel::TreeExpandedRole); }));
        expandMs = std::min(expandMs, BenchHarness::bestOf(1, [&] { bound.qt()->setData(node, true, zTreeItemModel::TreeExpandedRole); }));
    }
    const QString size = QStringLiteral("%1 rows").arg(rows);
    std::printf("%-62s %10.2f ms\n", qPrintable("floor: one flag per row, " + size), floorMs);
    printRow(qPrintable("collapse 10% node, " + size), collapseMs, floorMs, "floor");
    printRow(qPrintable("expand 10% node, " + size), expandMs, floorMs, "floor");
    freeTree(roots);
    comparePeers(rows, collapseMs, expandMs);
}

// Every tree role plus display of a 50 x 10 viewport in the middle of the tree.
double viewportRead(int rows)
{
    const QList<BaseDataItem*> roots = buildTree(rows, 10);
    BoundModel bound(roots);
    const int firstRow = bound.qt()->rowCount() / 2;
    const int treeRoles[] = {205, 206, 207, 208, 210, 211, 219, 220};
    volatile int sink = 0;
    const int repeats = 200;
    const double ms = BenchHarness::bestOf(3, [&] {
        for (int repeat = 0; repeat < repeats; ++repeat) {
            for (int virtualRow = firstRow; virtualRow < firstRow + 50; ++virtualRow) {
                for (int role : treeRoles)
                    sink = sink + bound.qt()->data(bound.qt()->index(virtualRow, 0), role).isValid();
                for (int column = 0; column < 10; ++column)
                    sink = sink + bound.qt()->data(bound.qt()->index(virtualRow, column), Qt::DisplayRole).isValid();
            }
        }
    });
    freeTree(roots);
    return ms / repeats;
}

void deletion()
{
    auto topLevelRows = [] {
        QList<BaseDataItem*> rows;
        for (int row = 0; row < 100000; ++row)
            rows.append(new TreeBaseItem);
        return rows;
    };
    QList<BaseDataItem*> plainRows;
    const double plainTopMs = BenchHarness::bestOf(3, [&] { plainRows = topLevelRows(); }, [&] { qDeleteAll(plainRows); });
    std::unique_ptr<BoundModel> bound;
    const double deleteTopMs = BenchHarness::bestOf(3, [&] { bound = std::make_unique<BoundModel>(topLevelRows()); },
                                      [&] { bound->model.deleteAll(); });
    std::printf("%-62s %10.2f ms\n", "floor: delete 100k rows", plainTopMs);
    printRow("deleteAll, 100k top-level rows", deleteTopMs, plainTopMs, "floor");

    std::vector<BaseDataItem*> plainTree;
    const double plainTreeMs = BenchHarness::bestOf(2, [&] { plainTree = preOrder(buildTree(1000000, 10)); }, [&] {
        for (BaseDataItem* row : plainTree)
            delete row;
    });
    const double deleteTreeMs = BenchHarness::bestOf(2, [&] { bound = std::make_unique<BoundModel>(buildTree(1000000, 10)); },
                                       [&] { bound->model.deleteAll(); });
    std::printf("%-62s %10.2f ms\n", "floor: delete 1M rows", plainTreeMs);
    printRow("deleteAll, 1M-row tree", deleteTreeMs, plainTreeMs, "floor");
}

void checkRoot()
{
    const int rows = 1000000;
    const QList<BaseDataItem*> roots = buildTree(rows, 1);
    const double walkMs = BenchHarness::bestOf(3, [&] { preOrder(roots); });
    BoundModel bound(roots);
    bound.model.setProperty("checkType", 1);
    const QModelIndex root = bound.qt()->index(0, 0);
    const double firstCheckMs = BenchHarness::bestOf(1, [&] { bound.qt()->setData(root, Qt::Checked, Qt::CheckStateRole); });
    const double uncheckMs = BenchHarness::bestOf(3, [&] { bound.qt()->setData(root, Qt::Unchecked, Qt::CheckStateRole); });
    std::printf("%-62s %10.2f ms\n", "floor: pre-order walk of 1M rows into a vector", walkMs);
    printRow("check the root of a 1M-row tree, propagating (first states)", firstCheckMs, walkMs, "walk");
    printRow("uncheck it again (states stored already)", uncheckMs, walkMs, "walk");
    freeTree(roots);
}

// Every tree role plus display of a 50 x 10 viewport, at 10k and 1M rows: the same time is flat.
void viewportReads()
{
    const double small = viewportRead(10000);
    const double large = viewportRead(1000000);
    std::printf("%-62s %10.4f ms\n", "viewport 50x10, 8 tree roles + display, 10k rows", small);
    printRow("viewport 50x10, 8 tree roles + display, 1M rows", large, small, "10k rows");
}

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    std::printf("zTreeItemModel benchmark (best of a few runs; ratio = time / reference)\n\n");
    return harness.run({memoryPerRow, binding, [] { expandCollapse(10000); }, [] { expandCollapse(100000); },
                        [] { expandCollapse(1000000); }, viewportReads, deletion, checkRoot},
                       "\n");
}
