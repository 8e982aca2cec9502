#include "TestHelpers.h"

#include <BaseDataItem.h>
#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>
#include <zTreeItemModel.h>

#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <string>

namespace {

// Counts the paint events of one widget, not of its children.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};

// A shown table view over a model of the given kind ("grid", "flat", "tree", "<kind> unbound", "other",
// "none") bound to the rows of an outline, with block selection. Marks: one character per list position,
// '1' marked, '0' not, 'x' a null entry. Recorded host calls read "<position>+", "<position>-", "?<position>".
class BlockFixture
{
    TreeFixture m_tree; // first: the rows outlive the view
    QList<BaseDataItem*> m_list;
    zBaseHeaderColumn m_columns;

public:
    BlockFixture(const QString& kind, const QString& outline, const QString& initialMarks, bool recordCalls = true)
        : m_tree(outline), m_list(m_tree.rows())
    {
        for (int listPosition = 0; listPosition < initialMarks.size(); ++listPosition) {
            if (initialMarks.at(listPosition) == 'x')
                m_list[listPosition] = nullptr;
            else
                m_list.at(listPosition)->SetBlock(initialMarks.at(listPosition) == '1');
        }
        view.setModel(makeModel(kind, !kind.endsWith(QLatin1String("unbound"))));
        block = zBaseItemViewBlock::RegistUseBlock(&view);
        if (recordCalls)
            recordBlockCalls();
        view.resize(300, 600);
        view.show();
    }

    QString marks() const
    {
        QString out;
        for (BaseDataItem* row : m_list)
            out += !row ? 'x' : row->IsBlock() ? '1' : '0';
        return out;
    }
    // The tree model shows visible rows only.
    QModelIndex viewIndex(int listPosition) const
    {
        const auto* tree = qobject_cast<const zTreeItemModel*>(view.model());
        const int viewRow = tree ? tree->findVirtualIndexByItem(m_list.at(listPosition)) : listPosition;
        return view.model() ? view.model()->index(viewRow, 0) : QModelIndex();
    }

    QTableView view;
    zBaseItemViewBlock* block = nullptr; // owned by the view
    QStringList calls;

private:
    QAbstractItemModel* makeModel(const QString& kind, bool bind)
    {
        m_columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        if (kind.startsWith(QLatin1String("grid"))) {
            auto* grid = new BaseDataItemModel(&view);
            grid->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
            grid->BindSrcData(bind ? &m_list : nullptr);
            return grid;
        }
        if (kind.startsWith(QLatin1String("flat"))) {
            auto* flat = new zBaseItemModel(&view);
            flat->setHeaderColumn(&m_columns);
            flat->BindSrcData(bind ? &m_list : nullptr);
            return flat;
        }
        if (kind.startsWith(QLatin1String("tree"))) {
            auto* tree = new zTreeItemModel(&view);
            tree->setHeaderColumn(&m_columns);
            tree->BindSrcData(bind ? &m_list : nullptr, false);
            return tree;
        }
        return kind == QLatin1String("other") ? new QStandardItemModel(10, 2, &view) : nullptr;
    }

    void recordBlockCalls()
    {
        block->RegistSetBlockFun(
            [this](BaseDataItem* row, bool on) {
                calls.append(QString::number(m_list.indexOf(row)) + (on ? '+' : '-'));
                row->SetBlock(on);
            },
            [this](BaseDataItem* row) {
                calls.append('?' + QString::number(m_list.indexOf(row)));
                return row->IsBlock();
            });
        block->RegistSetBlockFun(nullptr, nullptr); // empty arguments keep the recording pair
    }
};

// Real input for "[mods+]F4".."F7" (key on the view, target current) or "[mods+]click|right click|press|frame
// click" at the target's centre on the viewport (frame click: on the view itself); no target: below the rows.
void sendAction(QTableView& view, const QString& action, const QModelIndex& target)
{
    const QString input = action.section('+', -1);
    const int keys = QKeySequence(action.chopped(input.size()) + (input.startsWith('F') ? input : "A"))[0];
    const auto modifiers = Qt::KeyboardModifiers(keys & Qt::KeyboardModifierMask);
    if (input.startsWith('F')) {
        view.setCurrentIndex(target);
        return QTest::keyClick(&view, Qt::Key(keys & ~Qt::KeyboardModifierMask), modifiers);
    }
    const QPoint position = target.isValid() ? view.visualRect(target).center() : QPoint(5, view.viewport()->height() - 5);
    if (input == QLatin1String("press"))
        return QTest::mousePress(view.viewport(), Qt::LeftButton, modifiers, position);
    const bool onFrame = input == QLatin1String("frame click");
    QTest::mouseClick(onFrame ? &view : view.viewport(), input == QLatin1String("right click") ? Qt::RightButton : Qt::LeftButton,
                      modifiers, onFrame ? view.viewport()->mapToParent(position) : position);
}

const QString tenRows = QStringLiteral("r0\nr1\nr2\nr3\nr4\nr5\nr6\nr7\nr8\nr9");
// r1..r3 hidden under the collapsed r0: the view shows r0 r4 r5 r6 r7 r8 r9.
const QString hiddenRows = QStringLiteral("r0-\n-r1!\n-r2!\n--r3!\nr4\nr5\nr6\nr7\nr8\nr9");

// The hidden-rows outline runs with the tree model only: the other models show every row.
void addCase(const char* name, const QString& initial, const QString& action, int listPosition, const QString& expected,
             const QString& expectedCalls, const QString& outline = tenRows)
{
    for (const char* kind : {"grid", "flat", "tree"}) {
        if (outline == tenRows || qstrcmp(kind, "tree") == 0)
            QTest::addRow("%s: %s", kind, name) << kind << outline << initial << action << listPosition << expected << expectedCalls;
    }
}

} // namespace

class tst_zBaseItemViewBlock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void attachesToTheView();
    void blockActions_data();
    void blockActions();
    void defaultAndReplacedSetters();
};

void tst_zBaseItemViewBlock::attachesToTheView()
{
    auto* view = new QTableView;
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    QPointer<zBaseItemViewBlock> block = zBaseItemViewBlock::RegistUseBlock(view);
    QCOMPARE(block->parent(), view);
    QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectItems);
    delete view;
    QVERIFY(block.isNull());
    QCOMPARE(zBaseItemViewBlock::RegistUseBlock(nullptr), nullptr);
}

void tst_zBaseItemViewBlock::blockActions_data()
{
    for (const char* column : {"kind", "outline", "initial", "action"})
        QTest::addColumn<QString>(column);
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedCalls");

    addCase("F4 marks every row", "0100000000", "F4", 0, "1111111111", "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+");
    addCase("Shift+F4 still marks every row", "0000000000", "Shift+F4", 3, "1111111111", "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+");
    addCase("Ctrl+F4 does nothing", "0100000000", "Ctrl+F4", 0, "0100000000", "");
    addCase("Alt+F4 does nothing", "0100000000", "Alt+F4", 0, "0100000000", "");
    addCase("F7 clears every row", "0110011001", "F7", 5, "0000000000", "0- 1- 2- 3- 4- 5- 6- 7- 8- 9-");
    addCase("Ctrl+F7 does nothing", "0110011001", "Ctrl+F7", 5, "0110011001", "");
    addCase("F5 with nothing marked marks only the row", "0000000000", "F5", 3, "0001000000", "0- 1- 2- 3+");
    addCase("F5 above a block stretches it up", "0000011100", "F5", 2, "0011111100", "0- 1- 2+ 3+ 4+ 2+");
    addCase("F5 below a block clears it", "0000011100", "F5", 9, "0000000001", "0- 1- 2- 3- 4- 5- 6- 7- 8- 9+");
    addCase("F5 stretches only the nearest block", "0000010010", "F5", 2, "0011110010", "0- 1- 2+ 3+ 4+ 2+");
    addCase("F5 on the first row", "0001100000", "F5", 0, "1111100000", "0+ 1+ 2+ 0+");
    addCase("F5 inside a block cuts its top", "0001110000", "F5", 4, "0000110000", "0- 1- 2- 3- 4+ 4+");
    addCase("Shift+F5 still runs", "0000000000", "Shift+F5", 1, "0100000000", "0- 1+");
    addCase("Alt+F5 does nothing", "0000000000", "Alt+F5", 1, "0000000000", "");
    addCase("F6 below a block stretches it down", "0000011100", "F6", 9, "0000011111", "7+ 8+ 9+");
    addCase("F6 above a block clears it", "0000011100", "F6", 2, "0010000000", "9- 8- 7- 6- 5- 4- 3- 2+");
    addCase("F6 stretches only the nearest block", "0100100000", "F6", 7, "0100111100", "9- 8- 4+ 5+ 6+ 7+");
    addCase("F6 with nothing marked marks only the row", "0000000000", "F6", 6, "0000001000", "9- 8- 7- 6+");
    addCase("Ctrl+F6 does nothing", "0000000000", "Ctrl+F6", 6, "0000000000", "");
    addCase("Ctrl+click marks an unmarked row", "0000000000", "Ctrl+click", 4, "0000100000", "?4 4+");
    addCase("Ctrl+click unmarks a marked row", "0000110000", "Ctrl+click", 4, "0000010000", "?4 4-");
    addCase("Ctrl+Shift+click does nothing", "0000000000", "Ctrl+Shift+click", 4, "0000000000", "");
    addCase("Ctrl+Alt+click does nothing", "0000000000", "Ctrl+Alt+click", 4, "0000000000", "");
    addCase("Ctrl+right click does nothing", "0000000000", "Ctrl+right click", 4, "0000000000", "");
    addCase("Ctrl+press without release does nothing", "0000000000", "Ctrl+press", 4, "0000000000", "");
    addCase("Ctrl+click on the view's frame does nothing", "0000000000", "Ctrl+frame click", 4, "0000000000", "");
    addCase("plain click does nothing", "0000100000", "click", 4, "0000100000", "");
    addCase("Ctrl+click below the last row does nothing", "0000100000", "Ctrl+click", -1, "0000100000", "");
    addCase("Shift+click between equally near blocks joins below", "0010000010", "Shift+click", 5, "0000011110", "0- 1- 2- 3- 4- 5+ 6+ 7+ 8+ 5+");
    addCase("Shift+click nearer the block above joins it", "0010000001", "Shift+click", 4, "0011100000", "2+ 3+ 4+ 5- 6- 7- 8- 9- 4+");
    addCase("Shift+click nearer the block below joins it", "0100001000", "Shift+click", 5, "0000011000", "0- 1- 2- 3- 4- 5+ 6+ 5+");
    addCase("Shift+click on a marked row clears above it", "0010010010", "Shift+click", 5, "0000010010", "0- 1- 2- 3- 4- 5+ 5+");
    addCase("Shift+click with only a block above", "0110000000", "Shift+click", 6, "0111111000", "2+ 3+ 4+ 5+ 6+ 7- 8- 9- 6+");
    // Joining the only block below sets the marks directly: the host setter sees the final call alone.
    addCase("Shift+click with only a block below", "0000000110", "Shift+click", 3, "0001111110", "3+");
    addCase("Shift+click with nothing else marked", "0000000000", "Shift+click", 4, "0000100000", "4+");
    addCase("Shift+click below the last row does nothing", "0100000000", "Shift+click", -1, "0100000000", "");
    addCase("Shift+right click does nothing", "0100000000", "Shift+right click", 4, "0100000000", "");
    // Null entries keep their positions but are never marked nor handed to the setter.
    addCase("F4 skips null rows", "0x0x000000", "F4", 0, "1x1x111111", "0+ 2+ 4+ 5+ 6+ 7+ 8+ 9+");
    addCase("F5 over null rows", "0x00011100", "F5", 2, "0x11111100", "0- 2+ 3+ 4+ 2+");
    addCase("F6 over null rows", "1x000000x0", "F6", 4, "1x111000x0", "9- 7- 6- 5- 0+ 2+ 3+ 4+");
    addCase("Shift+click with only a block below, over null rows", "x0x0000110", "Shift+click", 4, "x0x0111110", "4+");

    addCase("hidden rows: F4 marks hidden rows too", "0000000000", "F4", 0, "1111111111", "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+", hiddenRows);
    addCase("hidden rows: F5 clears hidden rows above", "0110000100", "F5", 4, "0000111100", "0- 1- 2- 3- 4+ 5+ 6+ 4+", hiddenRows);
    addCase("hidden rows: F5 stretches up over hidden rows", "0010000000", "F5", 0, "1110000000", "0+ 1+ 0+", hiddenRows);
    addCase("hidden rows: F6 stretches down over hidden rows", "1000000000", "F6", 4, "1111100000", "9- 8- 7- 6- 5- 0+ 1+ 2+ 3+ 4+", hiddenRows);
    addCase("hidden rows: Shift+click joins a hidden marked row", "0001000001", "Shift+click", 4, "0001100000", "3+ 4+ 5- 6- 7- 8- 9- 4+", hiddenRows);
    addCase("hidden rows: Ctrl+click on the collapsed row marks it alone", "0000000000", "Ctrl+click", 0, "1000000000", "?0 0+", hiddenRows);

    for (const char* kind : {"none", "other", "grid unbound", "flat unbound", "tree unbound"}) {
        for (const char* action : {"F4", "F5", "F6", "F7", "Ctrl+click", "Shift+click"})
            QTest::addRow("%s: %s does nothing", kind, action) << kind << tenRows << "0100000000" << action << 2 << "0100000000" << "";
    }
}

void tst_zBaseItemViewBlock::blockActions()
{
    QFETCH(QString, kind);
    QFETCH(QString, outline);
    QFETCH(QString, initial);
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(QString, expected);
    QFETCH(QString, expectedCalls);
    BlockFixture fixture(kind, outline, initial);
    QCoreApplication::processEvents();
    PaintCounter paints(&fixture.view);

    sendAction(fixture.view, action, row < 0 ? QModelIndex() : fixture.viewIndex(row));
    QCoreApplication::processEvents();
    QCOMPARE(fixture.marks(), expected);
    QCOMPARE(fixture.calls.join(' '), expectedCalls);
    // Every action that ran calls the setter at least once and repaints the view.
    QCOMPARE(paints.count > 0, !expectedCalls.isEmpty());
}

void tst_zBaseItemViewBlock::defaultAndReplacedSetters()
{
    BlockFixture fixture(QStringLiteral("flat"), tenRows, {}, false);
    fixture.block->RegistSetBlockFun(nullptr, nullptr); // the defaults cannot be removed
    sendAction(fixture.view, QStringLiteral("Ctrl+click"), fixture.viewIndex(2));
    sendAction(fixture.view, QStringLiteral("F6"), fixture.viewIndex(5));
    QCOMPARE(fixture.marks(), QStringLiteral("0011110000"));

    zBaseItemViewBlock* block = fixture.block;
    QStringList* calls = &fixture.calls;
    const std::string tag(64, 'a'); // on the heap: replacing the running setter frees it (caught under ASan)
    block->RegistSetBlockFun(
        [block, calls, tag](BaseDataItem* row, bool on) {
            block->RegistSetBlockFun([calls](BaseDataItem*, bool) { calls->append(QStringLiteral("b")); }, nullptr);
            calls->append(QString::fromStdString(tag.substr(0, 1)));
            row->SetBlock(on);
        },
        nullptr);
    sendAction(fixture.view, QStringLiteral("F4"), fixture.viewIndex(0));
    QCOMPARE(fixture.marks(), QStringLiteral("1111111111"));
    // The action runs with the setter it started with; the next action gets the new one.
    sendAction(fixture.view, QStringLiteral("Ctrl+click"), fixture.viewIndex(3));
    QCOMPARE(calls->join(QString()), QStringLiteral("aaaaaaaaaab"));
}

QTEST_MAIN(tst_zBaseItemViewBlock)
#include "tst_zBaseItemViewBlock.moc"
