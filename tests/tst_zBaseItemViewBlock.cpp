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

#include <memory>
#include <string>

namespace {

enum class ModelKind { Grid, Flat, Tree };

} // namespace

Q_DECLARE_METATYPE(ModelKind)

namespace {

const QList<QPair<ModelKind, const char*>> allModelKinds = {
    {ModelKind::Grid, "grid"},
    {ModelKind::Flat, "flat"},
    {ModelKind::Tree, "tree"},
};

// Counts the paint events of one widget (not of its children).
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

/*
 * A shown table view over one of our models, bound to the rows of an outline (see
 * TreeFixture), with block selection attached. The initial marks give one character
 * per list position: '1' marked, '0' not, 'x' a null entry in place of the row. The
 * host setter and test record their calls as "<list position><+|->" and "?<position>".
 */
class BlockFixture
{
    TreeFixture m_tree; // declared first: the rows outlive the view
    QList<BaseDataItem*> m_list;
    zBaseHeaderColumn m_columns;

public:
    BlockFixture(ModelKind kind, const QString& outline, const QString& initialMarks = {}, bool recordCalls = true)
        : m_tree(outline)
        , m_list(m_tree.rows())
    {
        for (int listPosition = 0; listPosition < initialMarks.size(); ++listPosition) {
            if (initialMarks.at(listPosition) == QLatin1Char('x'))
                m_list[listPosition] = nullptr;
            else
                m_list.at(listPosition)->SetBlock(initialMarks.at(listPosition) == QLatin1Char('1') ? 1 : 0);
        }
        view.setModel(makeModel(kind));
        block = zBaseItemViewBlock::RegistUseBlock(&view);
        if (recordCalls)
            recordBlockCalls();
        view.resize(300, 600);
        view.show();
        view.setFocus();
    }

    /// '1' marked, '0' not, 'x' null entry, one character per list position.
    QString marks() const
    {
        QString out;
        for (BaseDataItem* row : m_list)
            out += !row ? QLatin1Char('x') : row->IsBlock() ? QLatin1Char('1') : QLatin1Char('0');
        return out;
    }
    /// The view's index of the row at a list position (the tree model shows visible rows only).
    QModelIndex viewIndex(int listPosition) const
    {
        const auto* tree = qobject_cast<const zTreeItemModel*>(view.model());
        const int viewRow = tree ? tree->findVirtualIndexByItem(m_list.at(listPosition)) : listPosition;
        return view.model()->index(viewRow, 0);
    }

    QTableView view;
    zBaseItemViewBlock* block = nullptr; // owned by the view
    QStringList calls;

private:
    QAbstractItemModel* makeModel(ModelKind kind)
    {
        m_columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        if (kind == ModelKind::Grid) {
            auto* grid = new BaseDataItemModel(&view);
            grid->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
            grid->BindSrcData(&m_list);
            return grid;
        }
        if (kind == ModelKind::Flat) {
            auto* flat = new zBaseItemModel(&view);
            flat->setHeaderColumn(&m_columns);
            flat->BindSrcData(&m_list);
            return flat;
        }
        auto* tree = new zTreeItemModel(&view);
        tree->setHeaderColumn(&m_columns);
        tree->BindSrcData(&m_list, false);
        return tree;
    }

    void recordBlockCalls()
    {
        block->RegistSetBlockFun(
            [this](BaseDataItem* row, bool on) {
                calls.append(QString::number(m_list.indexOf(row)) + (on ? '+' : '-'));
                row->SetBlock(on ? 1 : 0);
            },
            [this](BaseDataItem* row) {
                calls.append(QLatin1Char('?') + QString::number(m_list.indexOf(row)));
                return row->IsBlock();
            });
    }
};

Qt::KeyboardModifiers modifiersOf(const QString& action)
{
    Qt::KeyboardModifiers modifiers;
    if (action.contains(QLatin1String("Ctrl+")))
        modifiers |= Qt::ControlModifier;
    if (action.contains(QLatin1String("Shift+")))
        modifiers |= Qt::ShiftModifier;
    if (action.contains(QLatin1String("Alt+")))
        modifiers |= Qt::AltModifier;
    return modifiers;
}

QPoint belowLastRow(const QTableView& view)
{
    const QAbstractItemModel* model = view.model();
    const int lastViewRow = model ? model->rowCount() - 1 : -1;
    return QPoint(5, lastViewRow < 0 ? 5 : view.rowViewportPosition(lastViewRow) + view.rowHeight(lastViewRow) + 20);
}

/*
 * Sends real input for an action on the view: "[mods+]F4".."F7" as a key press and release on
 * the view with the target current; "[mods+]click" as a left click on the viewport at the
 * target's centre; "[mods+]right click", "[mods+]press" (no release) and "[mods+]frame click"
 * (on the view itself, not its viewport). A negative target clicks below the last row.
 */
void sendAction(QTableView& view, const QString& action, const QModelIndex& target)
{
    const Qt::KeyboardModifiers modifiers = modifiersOf(action);
    const QString key = action.section(QLatin1Char('+'), -1);
    if (key.startsWith(QLatin1Char('F'))) {
        view.setCurrentIndex(target);
        QTest::keyClick(&view, Qt::Key(Qt::Key_F1 + key.mid(1).toInt() - 1), modifiers);
        return;
    }
    const QPoint position = target.isValid() ? view.visualRect(target).center() : belowLastRow(view);
    if (key == QLatin1String("click"))
        QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, position);
    else if (key == QLatin1String("right click"))
        QTest::mouseClick(view.viewport(), Qt::RightButton, modifiers, position);
    else if (key == QLatin1String("press"))
        QTest::mousePress(view.viewport(), Qt::LeftButton, modifiers, position);
    else if (key == QLatin1String("frame click"))
        QTest::mouseClick(&view, Qt::LeftButton, modifiers, view.viewport()->mapToParent(position));
    else
        QFAIL(qPrintable(QStringLiteral("unknown action ") + action));
}

const QString tenRows = QStringLiteral("r0\nr1\nr2\nr3\nr4\nr5\nr6\nr7\nr8\nr9");

void addBlockCase(const char* name, const QString& initial, const QString& action, int listPosition,
                  const QString& expected, const QString& expectedCalls)
{
    for (const auto& kind : allModelKinds)
        QTest::addRow("%s: %s", kind.second, name) << kind.first << initial << action << listPosition << expected << expectedCalls;
}

} // namespace

class tst_zBaseItemViewBlock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void attachesToTheView();
    void blockActions_data();
    void blockActions();
    void hiddenTreeRowsCount_data();
    void hiddenTreeRowsCount();
    void emptySetterKeepsTheCurrentOne();
    void setterReplacingItselfWhileRunning();
    void nothingHappensWithoutRows_data();
    void nothingHappensWithoutRows();

private:
    void runCase(ModelKind kind, const QString& outline);
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
    QTest::addColumn<ModelKind>("kind");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedCalls");

    addBlockCase("F4 marks every row", "0100000000", "F4", 0, "1111111111", "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+");
    addBlockCase("Shift+F4 still marks every row", "0000000000", "Shift+F4", 3, "1111111111", "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+");
    addBlockCase("Ctrl+F4 does nothing", "0100000000", "Ctrl+F4", 0, "0100000000", "");
    addBlockCase("Alt+F4 does nothing", "0100000000", "Alt+F4", 0, "0100000000", "");
    addBlockCase("F7 clears every row", "0110011001", "F7", 5, "0000000000", "0- 1- 2- 3- 4- 5- 6- 7- 8- 9-");
    addBlockCase("Ctrl+F7 does nothing", "0110011001", "Ctrl+F7", 5, "0110011001", "");

    addBlockCase("F5 with nothing marked marks only the row", "0000000000", "F5", 3, "0001000000", "0- 1- 2- 3+");
    addBlockCase("F5 above a block stretches it up", "0000011100", "F5", 2, "0011111100", "0- 1- 2+ 3+ 4+ 2+");
    addBlockCase("F5 below a block clears it", "0000011100", "F5", 9, "0000000001", "0- 1- 2- 3- 4- 5- 6- 7- 8- 9+");
    addBlockCase("F5 stretches only the nearest block", "0000010010", "F5", 2, "0011110010", "0- 1- 2+ 3+ 4+ 2+");
    addBlockCase("F5 on the first row", "0001100000", "F5", 0, "1111100000", "0+ 1+ 2+ 0+");
    addBlockCase("F5 inside a block cuts its top", "0001110000", "F5", 4, "0000110000", "0- 1- 2- 3- 4+ 4+");
    addBlockCase("Shift+F5 still runs", "0000000000", "Shift+F5", 1, "0100000000", "0- 1+");
    addBlockCase("Alt+F5 does nothing", "0000000000", "Alt+F5", 1, "0000000000", "");

    addBlockCase("F6 below a block stretches it down", "0000011100", "F6", 9, "0000011111", "7+ 8+ 9+");
    addBlockCase("F6 above a block clears it", "0000011100", "F6", 2, "0010000000", "9- 8- 7- 6- 5- 4- 3- 2+");
    addBlockCase("F6 stretches only the nearest block", "0100100000", "F6", 7, "0100111100", "9- 8- 4+ 5+ 6+ 7+");
    addBlockCase("F6 with nothing marked marks only the row", "0000000000", "F6", 6, "0000001000", "9- 8- 7- 6+");
    addBlockCase("Ctrl+F6 does nothing", "0000000000", "Ctrl+F6", 6, "0000000000", "");

    addBlockCase("Ctrl+click marks an unmarked row", "0000000000", "Ctrl+click", 4, "0000100000", "?4 4+");
    addBlockCase("Ctrl+click unmarks a marked row", "0000110000", "Ctrl+click", 4, "0000010000", "?4 4-");
    addBlockCase("Ctrl+Shift+click does nothing", "0000000000", "Ctrl+Shift+click", 4, "0000000000", "");
    addBlockCase("Ctrl+Alt+click does nothing", "0000000000", "Ctrl+Alt+click", 4, "0000000000", "");
    addBlockCase("Ctrl+right click does nothing", "0000000000", "Ctrl+right click", 4, "0000000000", "");
    addBlockCase("Ctrl+press without release does nothing", "0000000000", "Ctrl+press", 4, "0000000000", "");
    addBlockCase("Ctrl+click on the view's frame does nothing", "0000000000", "Ctrl+frame click", 4, "0000000000", "");
    addBlockCase("plain click does nothing", "0000100000", "click", 4, "0000100000", "");
    addBlockCase("Ctrl+click below the last row does nothing", "0000100000", "Ctrl+click", -1, "0000100000", "");

    addBlockCase("Shift+click between equally near blocks joins below", "0010000010", "Shift+click", 5, "0000011110",
                 "0- 1- 2- 3- 4- 5+ 6+ 7+ 8+ 5+");
    addBlockCase("Shift+click nearer the block above joins it", "0010000001", "Shift+click", 4, "0011100000",
                 "2+ 3+ 4+ 5- 6- 7- 8- 9- 4+");
    addBlockCase("Shift+click nearer the block below joins it", "0100001000", "Shift+click", 5, "0000011000",
                 "0- 1- 2- 3- 4- 5+ 6+ 5+");
    addBlockCase("Shift+click on a marked row clears above it", "0010010010", "Shift+click", 5, "0000010010",
                 "0- 1- 2- 3- 4- 5+ 5+");
    addBlockCase("Shift+click with only a block above", "0110000000", "Shift+click", 6, "0111111000",
                 "2+ 3+ 4+ 5+ 6+ 7- 8- 9- 6+");
    // Joining the only block below sets the marks directly: the host setter sees the final call alone.
    addBlockCase("Shift+click with only a block below", "0000000110", "Shift+click", 3, "0001111110", "3+");
    addBlockCase("Shift+click with nothing else marked", "0000000000", "Shift+click", 4, "0000100000", "4+");
    addBlockCase("Shift+click below the last row does nothing", "0100000000", "Shift+click", -1, "0100000000", "");
    addBlockCase("Shift+right click does nothing", "0100000000", "Shift+right click", 4, "0100000000", "");

    // Null entries keep their positions but are never marked nor handed to the setter.
    addBlockCase("F4 skips null rows", "0x0x000000", "F4", 0, "1x1x111111", "0+ 2+ 4+ 5+ 6+ 7+ 8+ 9+");
    addBlockCase("F5 over null rows", "0x00011100", "F5", 2, "0x11111100", "0- 2+ 3+ 4+ 2+");
    addBlockCase("F6 over null rows", "1x000000x0", "F6", 4, "1x111000x0", "9- 7- 6- 5- 0+ 2+ 3+ 4+");
    addBlockCase("Shift+click with only a block below, over null rows", "x0x0000110", "Shift+click", 4, "x0x0111110", "4+");
}

void tst_zBaseItemViewBlock::blockActions()
{
    QFETCH(ModelKind, kind);
    runCase(kind, tenRows);
}

void tst_zBaseItemViewBlock::runCase(ModelKind kind, const QString& outline)
{
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
    QCOMPARE(fixture.calls.join(QLatin1Char(' ')), expectedCalls);
    // Every action that ran calls the setter at least once and repaints the view.
    QCOMPARE(paints.count > 0, !expectedCalls.isEmpty());
}

void tst_zBaseItemViewBlock::hiddenTreeRowsCount_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedCalls");

    // r1..r3 are hidden under the collapsed r0; the view shows r0 r4 r5 r6 r7 r8 r9.
    QTest::newRow("F4 marks hidden rows too") << "0000000000" << "F4" << 0 << "1111111111" << "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+";
    QTest::newRow("F5 clears hidden rows above") << "0110000100" << "F5" << 4 << "0000111100" << "0- 1- 2- 3- 4+ 5+ 6+ 4+";
    QTest::newRow("F5 stretches up over hidden rows") << "0010000000" << "F5" << 0 << "1110000000" << "0+ 1+ 0+";
    QTest::newRow("F6 stretches down over hidden rows") << "1000000000" << "F6" << 4 << "1111100000" << "9- 8- 7- 6- 5- 0+ 1+ 2+ 3+ 4+";
    QTest::newRow("Shift+click joins a hidden marked row") << "0001000001" << "Shift+click" << 4 << "0001100000"
                                                          << "3+ 4+ 5- 6- 7- 8- 9- 4+";
    QTest::newRow("Ctrl+click on the collapsed row marks it alone") << "0000000000" << "Ctrl+click" << 0 << "1000000000"
                                                                   << "?0 0+";
}

void tst_zBaseItemViewBlock::hiddenTreeRowsCount()
{
    runCase(ModelKind::Tree, QStringLiteral("r0-\n-r1!\n-r2!\n--r3!\nr4\nr5\nr6\nr7\nr8\nr9"));
}

void tst_zBaseItemViewBlock::emptySetterKeepsTheCurrentOne()
{
    BlockFixture fixture(ModelKind::Flat, tenRows);
    fixture.block->RegistSetBlockFun(nullptr, nullptr);
    sendAction(fixture.view, QStringLiteral("Ctrl+click"), fixture.viewIndex(2));
    QCOMPARE(fixture.calls.join(QLatin1Char(' ')), QStringLiteral("?2 2+"));

    // The defaults cannot be removed either.
    BlockFixture plain(ModelKind::Flat, tenRows, {}, false);
    plain.block->RegistSetBlockFun(nullptr, nullptr);
    sendAction(plain.view, QStringLiteral("Ctrl+click"), plain.viewIndex(2));
    sendAction(plain.view, QStringLiteral("F6"), plain.viewIndex(5));
    QCOMPARE(plain.marks(), QStringLiteral("0011110000"));
    QVERIFY(plain.calls.isEmpty());
}

void tst_zBaseItemViewBlock::setterReplacingItselfWhileRunning()
{
    BlockFixture fixture(ModelKind::Flat, tenRows, {}, false);
    zBaseItemViewBlock* block = fixture.block;
    QStringList* calls = &fixture.calls;
    // Large enough to live on the heap: replacing the setter frees it (caught under ASan).
    const std::string tag(64, 'a');
    block->RegistSetBlockFun(
        [block, calls, tag](BaseDataItem* row, bool on) {
            block->RegistSetBlockFun([calls](BaseDataItem*, bool) { calls->append(QStringLiteral("b")); }, nullptr);
            calls->append(QString::fromStdString(tag.substr(0, 1)));
            row->SetBlock(on ? 1 : 0);
        },
        nullptr);
    sendAction(fixture.view, QStringLiteral("F4"), fixture.viewIndex(0));
    QCOMPARE(fixture.marks(), QStringLiteral("1111111111"));
    // The action runs with the setter it started with; the next action gets the new one.
    QCOMPARE(calls->join(QString()), QStringLiteral("aaaaaaaaaa"));
    sendAction(fixture.view, QStringLiteral("Ctrl+click"), fixture.viewIndex(3));
    QCOMPARE(calls->join(QString()), QStringLiteral("aaaaaaaaaab"));
}

void tst_zBaseItemViewBlock::nothingHappensWithoutRows_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("action");

    const QStringList models = {"no model", "other model", "grid model, nothing bound", "flat model, nothing bound",
                                "tree model, nothing bound"};
    const QStringList actions = {"F4", "F5", "F6", "F7", "Ctrl+click", "Shift+click"};
    for (const QString& model : models) {
        for (const QString& action : actions)
            QTest::addRow("%s, %s", qPrintable(model), qPrintable(action)) << model << action;
    }
}

void tst_zBaseItemViewBlock::nothingHappensWithoutRows()
{
    QFETCH(QString, model);
    QFETCH(QString, action);
    QTableView view;
    QStandardItemModel other(10, 2);
    zBaseHeaderColumn columns;
    columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
    BaseDataItemModel grid;
    grid.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
    zBaseItemModel flat;
    zTreeItemModel tree;
    flat.setHeaderColumn(&columns);
    tree.setHeaderColumn(&columns);
    if (model == QLatin1String("other model"))
        view.setModel(&other);
    else if (model.startsWith(QLatin1String("grid")))
        view.setModel(&grid);
    else if (model.startsWith(QLatin1String("flat")))
        view.setModel(&flat);
    else if (model.startsWith(QLatin1String("tree")))
        view.setModel(&tree);
    zBaseItemViewBlock* block = zBaseItemViewBlock::RegistUseBlock(&view);
    int calls = 0;
    block->RegistSetBlockFun([&calls](BaseDataItem*, bool) { ++calls; }, [&calls](BaseDataItem*) { return ++calls > 0; });
    view.resize(300, 600);
    view.show();
    QCoreApplication::processEvents();
    PaintCounter paints(&view);

    sendAction(view, action, view.model() ? view.model()->index(2, 0) : QModelIndex());
    QCoreApplication::processEvents();
    QCOMPARE(calls, 0);
    QCOMPARE(paints.count, 0);
}

QTEST_MAIN(tst_zBaseItemViewBlock)
#include "tst_zBaseItemViewBlock.moc"
