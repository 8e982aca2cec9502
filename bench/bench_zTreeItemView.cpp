// Tree view over a tree of about a million rows:
// - updateViewSpans costs what Qt's span store costs for the same spans: mapping each
//   span is O(1), so the call grows with the spans as Qt's store does (which is not
//   quite linear itself: its index is a map of maps);
// - painting a full viewport costs the same at the top, middle and end of the tree.
// Prints ratios measured in this run. Renders into images offscreen (QT_QPA_PLATFORM=offscreen).

#include "BenchHarness.h"

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QImage>
#include <QScrollBar>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using bench::BenchHarness;

namespace {

QTextStream out(stdout);

// topCount top-level rows, each with childCount children of grandchildCount children, in pre-order.
// The first top-level row is collapsed: its descendants are hidden.
struct BigTree
{
    BigTree(int topCount, int childCount, int grandchildCount)
    {
        for (int top = 0; top < topCount; ++top) {
            TreeBaseItem* topRow = add(nullptr);
            topRow->setExpanded(top != 0);
            for (int child = 0; child < childCount; ++child) {
                TreeBaseItem* childRow = add(topRow);
                childRow->setVisible(top != 0);
                for (int grandchild = 0; grandchild < grandchildCount; ++grandchild)
                    add(childRow)->setVisible(top != 0);
            }
        }
        for (auto& owned : storage) {
            auto children = childrenOf.find(owned.get());
            if (children != childrenOf.end())
                owned->setBaseDataItemListDirect(children->second);
        }
        childrenOf.clear();
    }
    TreeBaseItem* add(TreeBaseItem* parent)
    {
        storage.push_back(std::make_unique<TreeBaseItem>());
        TreeBaseItem* row = storage.back().get();
        row->setParentAlone(parent);
        if (parent)
            childrenOf[parent].append(row);
        rows.append(row);
        return row;
    }

    std::vector<std::unique_ptr<TreeBaseItem>> storage;
    std::map<TreeBaseItem*, QList<BaseDataItem*>> childrenOf;
    QList<BaseDataItem*> rows;
};

// A view over a tree, four columns, style 1 with check boxes.
struct TreeScene
{
    explicit TreeScene(BigTree& tree)
    {
        for (const char* id : {"name", "code", "unit", "amount"})
            columns.addColumn(new zBaseHeaderItem(QString::fromLatin1(id), QString::fromLatin1(id)));
        model.setHeaderColumn(&columns);
        model.BindSrcData(&tree.rows, false);
        model.dataStarting([](int role, const QModelIndex& index, const zBaseHeaderItem*, QVariant& value) {
            if (role != Qt::DisplayRole)
                return false;
            // Same number of digits everywhere, so text drawing costs the same at every position.
            value = QStringLiteral("row %1 / %2").arg(index.row(), 7, 10, QLatin1Char('0')).arg(index.column());
            return true;
        });
        view.setModel(&model);
        ZTVModeOption option;
        option.displayStyle = 1;
        option.checkMode = 1;
        view.setTreeModeDisplay(0, option);
        view.setColumnWidth(0, 260);
        view.resize(1000, 700);
    }

    zBaseHeaderColumn columns;
    zTreeItemModel model;
    zTreeItemView view;
};

// Best of a few runs, in microseconds.
double bestMicroseconds(int runs, const std::function<void()>& work)
{
    return BenchHarness::bestOf(runs, work) * 1000;
}

// count spans of 1 row x 2 columns spread evenly over the original rows (some in the collapsed
// node); they never overlap, so Qt logs nothing.
QList<QRect> spreadSpans(int count, int originalRowCount)
{
    const int stride = originalRowCount / count;
    QList<QRect> spans;
    for (int span = 0; span < count; ++span)
        spans.append(QRect(1 + span % 2, span * stride, 2, 1));
    return spans;
}

struct SpanCost
{
    double update = 0; // the whole updateViewSpans, microseconds
    double qtStore = 0; // the same view spans set straight with QTableView::setSpan
};

// Columns are all shown in declaration order, so only the first row needs mapping here.
QList<QRect> shownSpans(const zTreeItemModel& model, const QList<QRect>& requested)
{
    QList<QRect> shown;
    for (QRect span : requested) {
        const int virtualRow = model.findVirtualIndexByItem(model.findItemByOriginalIndex(span.top()));
        if (virtualRow >= 0) {
            span.moveTop(virtualRow);
            shown.append(span);
        }
    }
    return shown;
}

SpanCost spanCost(TreeScene& scene, int spanCount, int originalRowCount)
{
    scene.view.setViewSpans(spreadSpans(spanCount, originalRowCount));
    const QList<QRect> spans = shownSpans(scene.model, scene.view.getViewSpans());
    SpanCost cost{1e18, 1e18};
    // Alternated, so both see the same machine load.
    for (int run = 0; run < 9; ++run) {
        cost.update = std::min(cost.update, bestMicroseconds(1, [&] { scene.view.updateViewSpans(); }));
        cost.qtStore = std::min(cost.qtStore, bestMicroseconds(1, [&] {
            scene.view.clearSpans();
            for (const QRect& span : spans)
                scene.view.setSpan(span.top(), span.left(), span.height(), span.width());
        }));
    }
    return cost;
}

double paintMicroseconds(TreeScene& scene, double scrollFraction)
{
    QScrollBar* bar = scene.view.verticalScrollBar();
    bar->setValue(int(bar->maximum() * scrollFraction));
    QImage image(scene.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    return bestMicroseconds(15, [&] { scene.view.viewport()->render(&image); });
}

void spanCosts(BigTree& bigTree, TreeScene& big)
{
    const SpanCost spans1k = spanCost(big, 1000, bigTree.rows.size());
    const SpanCost spans10k = spanCost(big, 10000, bigTree.rows.size());
    out << QString::asprintf("updateViewSpans, 10k spans over 1M rows: %.0f us\n", spans10k.update);
    out << QString::asprintf("  10k / 1k spans, updateViewSpans:                    %.2f\n", spans10k.update / spans1k.update);
    out << QString::asprintf("  10k / 1k spans, Qt's span store alone (reference):  %.2f\n", spans10k.qtStore / spans1k.qtStore);
    out << QString::asprintf("  updateViewSpans / Qt's span store alone, 10k (~1):  %.2f\n", spans10k.update / spans10k.qtStore);
    out << QString::asprintf("  updateViewSpans / Qt's span store alone, 1k (~1):   %.2f\n", spans1k.update / spans1k.qtStore);
}

void paintCosts(TreeScene& big)
{
    big.view.setViewSpans({});
    big.view.show();
    QCoreApplication::processEvents();
    const double top = paintMicroseconds(big, 0.0);
    const double middle = paintMicroseconds(big, 0.5);
    const double end = paintMicroseconds(big, 1.0);
    out << QString::asprintf("full viewport paint, top: %.0f us\n", top);
    out << QString::asprintf("  middle / top (same: ~1): %.2f\n", middle / top);
    out << QString::asprintf("  end / top (same: ~1):    %.2f\n", end / top);
}

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    BigTree bigTree(1000, 10, 99); // 1,001,000 rows, the first top-level row collapsed
    TreeScene big(bigTree);
    out << "rows: " << bigTree.rows.size() << ", shown " << big.model.findVirtualIndexByItem(bigTree.rows.last()) + 1 << "\n";
    return harness.run({[&] { spanCosts(bigTree, big); }, [&] { paintCosts(big); }});
}
