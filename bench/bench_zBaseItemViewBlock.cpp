// Block selection on a whole estimate: each action on a 1,000,000-row list, timed
// against a plain loop that sets every row's mark. Real key and mouse events go
// through QApplication::sendEvent to the view and its viewport.

#include <BaseDataItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kRows = 1000000;
constexpr int kRepeats = 5;
constexpr int kMiddle = kRows / 2;

// Best of kRepeats runs of action, each after prepare (untimed), in milliseconds.
double bestMs(const std::function<void()>& prepare, const std::function<void()>& action)
{
    double best = 1e300;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        action();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

int markedCount(const QList<BaseDataItem*>& rows)
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [](const BaseDataItem* row) { return row->IsBlock(); }));
}

void setMarks(const QList<BaseDataItem*>& rows, std::initializer_list<int> markedRows)
{
    for (BaseDataItem* row : rows)
        row->SetBlock(0);
    for (int listRow : markedRows)
        rows.at(listRow)->SetBlock(1);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::vector<std::unique_ptr<BaseDataItem>> owned;
    QList<BaseDataItem*> rows;
    owned.reserve(kRows);
    rows.reserve(kRows);
    for (int listRow = 0; listRow < kRows; ++listRow) {
        owned.push_back(std::make_unique<BaseDataItem>());
        rows.append(owned.back().get());
    }
    zBaseHeaderColumn columns;
    columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
    zBaseItemModel model;
    model.setHeaderColumn(&columns);
    model.BindSrcData(&rows);
    QTableView view;
    view.setModel(&model);
    zBaseItemViewBlock::RegistUseBlock(&view);
    view.resize(400, 300);
    view.show();
    const QModelIndex middle = model.index(kMiddle, 0);
    view.setCurrentIndex(middle);
    view.scrollTo(middle, QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();

    auto press = [&view](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    };
    const QPoint middlePosition = view.visualRect(middle).center();
    auto shiftClick = [&view, middlePosition] {
        QMouseEvent event(QEvent::MouseButtonRelease, middlePosition, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(view.viewport(), &event);
    };

    const double plainLoop = bestMs([&] { setMarks(rows, {}); }, [&] {
        for (BaseDataItem* row : qAsConst(rows))
            row->SetBlock(1);
    });
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::function<void()> action;
    };
    const Case cases[] = {
        {"F4 select all", [&] { setMarks(rows, {}); }, [&] { press(Qt::Key_F4); }},
        {"F7 unselect all", [&] { setMarks(rows, {kRows - 1}); }, [&] { press(Qt::Key_F7); }},
        {"F5 block begin, block near the end", [&] { setMarks(rows, {kRows - 1}); }, [&] { press(Qt::Key_F5); }},
        {"F6 block end, block near the start", [&] { setMarks(rows, {0}); }, [&] { press(Qt::Key_F6); }},
        {"Shift+click between two far blocks", [&] { setMarks(rows, {0, kRows - 1}); }, shiftClick},
        {"Shift+click, block below only", [&] { setMarks(rows, {kRows - 1}); }, shiftClick},
    };
    std::printf("plain loop marking %d rows: %.2f ms\n", kRows, plainLoop);
    for (const Case& benchCase : cases) {
        const double ms = bestMs(benchCase.prepare, benchCase.action);
        std::printf("%-40s %6.2f x the plain loop (%.2f ms, %d rows marked after)\n", benchCase.name, ms / plainLoop, ms,
                    markedCount(rows));
    }
    return 0;
}
