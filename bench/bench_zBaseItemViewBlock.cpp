// Block selection on a whole estimate: each action on a 1,000,000-row list, timed
// against a plain loop that sets every row's mark. Real key and mouse events go
// through QApplication::sendEvent to the view and its viewport.

#include "BenchHarness.h"

#include <BaseDataItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using bench::BenchHarness;

namespace {

constexpr int kRows = 1000000;
constexpr int kRepeats = 5; // each action is timed best of five
constexpr int kMiddle = kRows / 2;

int markedCount(const QList<BaseDataItem*>& rows)
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [](const BaseDataItem* row) { return row->IsBlock(); }));
}

void setMarks(const QList<BaseDataItem*>& rows, const std::vector<int>& markedRows)
{
    for (BaseDataItem* row : rows)
        row->SetBlock(0);
    for (int listRow : markedRows)
        rows.at(listRow)->SetBlock(1);
}

/// A million rows in a one-column table view with block selection, its current cell in the middle.
struct BlockScene
{
    BlockScene()
    {
        owned.reserve(kRows);
        rows.reserve(kRows);
        for (int listRow = 0; listRow < kRows; ++listRow) {
            owned.push_back(std::make_unique<BaseDataItem>());
            rows.append(owned.back().get());
        }
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        model.setHeaderColumn(&columns);
        model.BindSrcData(&rows);
        view.setModel(&model);
        zBaseItemViewBlock::RegistUseBlock(&view);
        view.resize(400, 300);
        view.show();
        const QModelIndex middle = model.index(kMiddle, 0);
        view.setCurrentIndex(middle);
        view.scrollTo(middle, QAbstractItemView::PositionAtCenter);
        QCoreApplication::processEvents();
        middlePosition = view.visualRect(middle).center();
    }

    void press(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    void shiftClickMiddle()
    {
        QMouseEvent event(QEvent::MouseButtonRelease, middlePosition, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }

    std::vector<std::unique_ptr<BaseDataItem>> owned;
    QList<BaseDataItem*> rows;
    zBaseHeaderColumn columns;
    zBaseItemModel model;
    QTableView view;
    QPoint middlePosition;
};

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    BlockScene scene;
    QList<BaseDataItem*>& rows = scene.rows;
    const double plainLoop = BenchHarness::bestOf(kRepeats, [&] { setMarks(rows, {}); }, [&] {
        for (BaseDataItem* row : qAsConst(rows))
            row->SetBlock(1);
    });
    std::printf("plain loop marking %d rows: %.2f ms\n", kRows, plainLoop);
    // An action timed after its marks are set, against the plain loop.
    const auto action = [&](const char* name, const std::vector<int>& markedRows, const std::function<void()>& act) {
        return [&rows, plainLoop, name, markedRows, act] {
            const double ms = BenchHarness::bestOf(kRepeats, [&] { setMarks(rows, markedRows); }, act);
            std::printf("%-40s %6.2f x the plain loop (%.2f ms, %d rows marked after)\n", name, ms / plainLoop, ms, markedCount(rows));
        };
    };
    return harness.run({
        action("F4 select all", {}, [&] { scene.press(Qt::Key_F4); }),
        action("F7 unselect all", {kRows - 1}, [&] { scene.press(Qt::Key_F7); }),
        action("F5 block begin, block near the end", {kRows - 1}, [&] { scene.press(Qt::Key_F5); }),
        action("F6 block end, block near the start", {0}, [&] { scene.press(Qt::Key_F6); }),
        action("Shift+click between two far blocks", {0, kRows - 1}, [&] { scene.shiftClickMiddle(); }),
        action("Shift+click, block below only", {kRows - 1}, [&] { scene.shiftClickMiddle(); }),
    });
}
