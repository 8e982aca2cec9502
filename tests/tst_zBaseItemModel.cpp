#include "TestHelpers.h"

#include <BaseDataItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace {

// Two columns ("code", "name") over rows the fixture owns; the second column takes no edits.
struct FlatFixture {
    explicit FlatFixture(int rowCount)
    {
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("code")));
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        model.setHeaderColumn(&columns);
        model.setColumnEditable(1, false);
        for (int listRow = 0; listRow < rowCount; ++listRow) {
            owned.push_back(std::make_unique<BaseDataItem>());
            rows.append(owned.back().get());
        }
        model.BindSrcData(&rows);
    }

    std::vector<std::unique_ptr<BaseDataItem>> owned;
    QList<BaseDataItem*> rows;
    zBaseHeaderColumn columns;
    zBaseItemModel model;
};

// A hook built from a short description, recording each call with the value it found:
// "answer=V" / "rewrite=V" write V and return true, "empty" returns true untouched,
// "decline" / "refuse" return false, "decline=V" writes V and returns false.
zBaseItemModel::DataHook recordingHook(const QString& name, const QString& behaviour, QStringList* calls)
{
    return [=](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        calls->append(QStringLiteral("%1(%2,%3,%4):%5").arg(name).arg(role).arg(index.row())
                          .arg(header ? header->headerIdentify() : QStringLiteral("null"), value.toString()));
        if (behaviour.contains(QLatin1Char('=')))
            value = behaviour.section(QLatin1Char('='), 1);
        return !behaviour.startsWith(QLatin1String("decline")) && !behaviour.startsWith(QLatin1String("refuse"));
    };
}

// An empty description leaves the hook unset; "cleared:X" sets hook X and then removes it.
void installHook(void (zBaseItemModel::*setter)(zBaseItemModel::DataHook), zBaseItemModel& model,
                 const QString& name, const QString& behaviour, QStringList* calls)
{
    if (behaviour.isEmpty())
        return;
    const bool cleared = behaviour.startsWith(QLatin1String("cleared:"));
    (model.*setter)(recordingHook(name, behaviour.mid(cleared ? 8 : 0), calls));
    if (cleared)
        (model.*setter)(nullptr);
}

} // namespace

class tst_zBaseItemModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QVERIFY(setLogicalDpi(100)); }
    void bindingEmitsNothing();
    void readHooks_data();
    void readHooks();
    void sizeHintRead_data();
    void sizeHintRead();
    void writeHooks_data();
    void writeHooks();
    void flagsHook_data();
    void flagsHook();
    void hookReplacingItselfWhileRunning();
    void badRows();
    void modelTester();
};

void tst_zBaseItemModel::bindingEmitsNothing()
{
    FlatFixture fixture(5);
    zBaseItemModel& model = fixture.model;
    model.BindSrcData(nullptr);
    QCOMPARE(model.rowCount(), 0);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.BindSrcData(&fixture.rows);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.GetBindSrcData(), &fixture.rows);
    QCOMPARE(resets.count() + inserts.count() + changes.count(), 0);
}

void tst_zBaseItemModel::readHooks_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<QString>("starting");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QStringList>("expectedCalls");

    // Row 1 is 20 high: the model's own size-hint answer is 20 * dpi / 96.
    const QString startCall = QStringLiteral("starting(13,1,name):");
    const QString endCall = QStringLiteral("ending(13,1,name):");
    QTest::newRow("no hooks: the model answers") << 96.0 << "" << "" << QVariant(20.0) << QStringList();
    QTest::newRow("starting answers: ending and model skipped")
        << 144.0 << "answer=7" << "answer=8" << QVariant(QStringLiteral("7")) << QStringList{startCall};
    QTest::newRow("starting answers nothing: invalid, ending skipped")
        << 96.0 << "empty" << "answer=8" << QVariant() << QStringList{startCall};
    QTest::newRow("starting declines, ending answers")
        << 144.0 << "decline" << "answer=8" << QVariant(QStringLiteral("8")) << QStringList{startCall, endCall};
    QTest::newRow("starting declines and writes: ending sees a fresh value")
        << 96.0 << "decline=5" << "empty" << QVariant() << QStringList{startCall, endCall};
    QTest::newRow("only ending, declining: the model answers")
        << 144.0 << "" << "decline" << QVariant(30.0) << QStringList{endCall};
    QTest::newRow("cleared starting: ending answers")
        << 96.0 << "cleared:answer=7" << "answer=8" << QVariant(QStringLiteral("8")) << QStringList{endCall};
    QTest::newRow("both cleared: the model answers")
        << 144.0 << "cleared:answer=7" << "cleared:answer=8" << QVariant(30.0) << QStringList();
}

void tst_zBaseItemModel::readHooks()
{
    QFETCH(qreal, dpi);
    QFETCH(QString, starting);
    QFETCH(QString, ending);
    QFETCH(QVariant, expected);
    QFETCH(QStringList, expectedCalls);
    QVERIFY(setLogicalDpi(dpi));
    FlatFixture fixture(3);
    fixture.rows.at(1)->setRowHeight(20);
    QStringList calls;
    installHook(&zBaseItemModel::dataStarting, fixture.model, QStringLiteral("starting"), starting, &calls);
    installHook(&zBaseItemModel::dataEnding, fixture.model, QStringLiteral("ending"), ending, &calls);

    const QVariant answer = fixture.model.data(fixture.model.index(1, 1), Qt::SizeHintRole);
    QCOMPARE(answer, expected);
    QCOMPARE(answer.userType(), expected.userType());
    QCOMPARE(calls, expectedCalls);
}

void tst_zBaseItemModel::sizeHintRead_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<double>("storedHeight");
    QTest::addColumn<double>("expected");

    QTest::newRow("96 dpi: as stored") << 96.0 << 20.0 << 20.0;
    QTest::newRow("144 dpi: one and a half") << 144.0 << 20.0 << 30.0;
    QTest::newRow("100 dpi: scaled by 100/96") << 100.0 << 24.0 << 25.0;
    QTest::newRow("96 dpi, no height") << 96.0 << 0.0 << -1.0;
    QTest::newRow("144 dpi, no height: -1 unscaled") << 144.0 << 0.0 << -1.0;
    QTest::newRow("144 dpi, negative height") << 144.0 << -4.0 << -1.0;
}

void tst_zBaseItemModel::sizeHintRead()
{
    QFETCH(qreal, dpi);
    QFETCH(double, storedHeight);
    QFETCH(double, expected);
    QVERIFY(setLogicalDpi(dpi));
    FlatFixture fixture(2);
    fixture.rows.at(1)->setRowHeight(storedHeight);

    const QVariant answer = fixture.model.data(fixture.model.index(1, 0), Qt::SizeHintRole);
    QCOMPARE(answer.userType(), int(QMetaType::Double));
    QCOMPARE(answer.toDouble(), expected);
}

void tst_zBaseItemModel::writeHooks_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<QString>("starting");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("storedHeight");
    QTest::addColumn<QStringList>("expectedCalls");

    // Every row writes 30 as the size hint of row 0, column "code"; the row starts 10 high.
    const QString startCall = QStringLiteral("starting(13,0,code):30");
    QTest::newRow("no hooks, 96 dpi: stored as written") << 96.0 << "" << "" << true << 30.0 << QStringList();
    QTest::newRow("no hooks, 144 dpi: stored unscaled") << 144.0 << "" << "" << true << 20.0 << QStringList();
    QTest::newRow("starting refuses: ending, row and base untouched")
        << 144.0 << "refuse" << "empty" << false << 10.0 << QStringList{startCall};
    QTest::newRow("starting accepts, ending refuses")
        << 96.0 << "empty" << "refuse" << false << 10.0 << QStringList{startCall, "ending(13,0,code):30"};
    QTest::newRow("starting rewrites: ending sees it, the row does not")
        << 144.0 << "rewrite=99" << "empty" << true << 20.0 << QStringList{startCall, "ending(13,0,code):99"};
    QTest::newRow("ending rewrites: not written")
        << 96.0 << "" << "rewrite=99" << true << 30.0 << QStringList{"ending(13,0,code):30"};
    QTest::newRow("cleared refusing hooks: written")
        << 144.0 << "cleared:refuse" << "cleared:refuse" << true << 20.0 << QStringList();
}

void tst_zBaseItemModel::writeHooks()
{
    QFETCH(qreal, dpi);
    QFETCH(QString, starting);
    QFETCH(QString, ending);
    QFETCH(bool, accepted);
    QFETCH(double, storedHeight);
    QFETCH(QStringList, expectedCalls);
    QVERIFY(setLogicalDpi(dpi));
    FlatFixture fixture(2);
    fixture.rows.at(0)->setRowHeight(10);
    QStringList calls;
    installHook(&zBaseItemModel::editorStarting, fixture.model, QStringLiteral("starting"), starting, &calls);
    installHook(&zBaseItemModel::editorEnding, fixture.model, QStringLiteral("ending"), ending, &calls);
    QSignalSpy changes(&fixture.model, &QAbstractItemModel::dataChanged);

    const QModelIndex cell = fixture.model.index(0, 0);
    QCOMPARE(fixture.model.setData(cell, 30, Qt::SizeHintRole), accepted);
    QCOMPARE(fixture.rows.at(0)->getRowHeight(), storedHeight);
    QCOMPARE(calls, expectedCalls);
    // The base's write announces the cell with the caller's role; a refused write reaches no base.
    QCOMPARE(changes.count(), accepted ? 1 : 0);
    if (accepted) {
        QCOMPARE(changes.at(0).at(2).value<QVector<int>>(), QVector<int>{Qt::SizeHintRole});
        QCOMPARE(fixture.model.data(cell, Qt::SizeHintRole).toDouble(), 30.0);
    }
}

void tst_zBaseItemModel::flagsHook_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("hook");
    QTest::addColumn<int>("expected");

    // Column 0 is editable (base: selectable|editable|enabled = 35), column 1 is not (33).
    QTest::newRow("no hook: the base's flags") << 1 << "" << 33;
    QTest::newRow("false, untouched: the preset selectable|editable") << 1 << "false" << 3;
    QTest::newRow("false, adds enabled") << 0 << "false+enabled" << 35;
    QTest::newRow("false, removes editable") << 0 << "false-editable" << 1;
    QTest::newRow("true, adds enabled: dropped, the base's flags") << 1 << "true+checkable" << 33;
    QTest::newRow("true on an editable column") << 0 << "true-editable" << 35;
    QTest::newRow("cleared hook: the base's flags") << 0 << "cleared" << 35;
}

void tst_zBaseItemModel::flagsHook()
{
    QFETCH(int, column);
    QFETCH(QString, hook);
    QFETCH(int, expected);
    FlatFixture fixture(2);
    QStringList seen;
    if (!hook.isEmpty()) {
        fixture.model.callFlags([&](const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags) {
            seen.append(QStringLiteral("%1,%2:%3").arg(index.column()).arg(header->headerIdentify()).arg(int(flags)));
            if (hook.contains(QLatin1String("+enabled")))
                flags |= Qt::ItemIsEnabled;
            if (hook.contains(QLatin1String("+checkable")))
                flags |= Qt::ItemIsUserCheckable;
            if (hook.contains(QLatin1String("-editable")))
                flags &= ~Qt::ItemIsEditable;
            return hook.startsWith(QLatin1String("true"));
        });
    }
    if (hook == QLatin1String("cleared"))
        fixture.model.callFlags(nullptr);

    QCOMPARE(int(fixture.model.flags(fixture.model.index(1, column))), expected);
    const QString identify = column == 0 ? QStringLiteral("code") : QStringLiteral("name");
    const bool called = !hook.isEmpty() && hook != QLatin1String("cleared");
    QCOMPARE(seen, called ? QStringList{QStringLiteral("%1,%2:3").arg(column).arg(identify)} : QStringList());
}

void tst_zBaseItemModel::hookReplacingItselfWhileRunning()
{
    FlatFixture fixture(1);
    zBaseItemModel* model = &fixture.model;
    // Large enough to live on the heap: replacing the hook frees it (caught under ASan).
    const std::string answer(64, 'x');
    model->dataStarting([model, answer](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
        model->dataStarting(nullptr);
        value = QString::fromStdString(answer);
        return true;
    });
    QCOMPARE(model->data(model->index(0, 0)).toString(), QString(64, QLatin1Char('x')));
    QVERIFY(!model->data(model->index(0, 0)).isValid());
}

void tst_zBaseItemModel::badRows()
{
    FlatFixture fixture(2);
    fixture.rows[1] = nullptr; // owned by the fixture all the same
    zBaseItemModel& model = fixture.model;
    QVERIFY(!model.data(model.index(1, 0), Qt::SizeHintRole).isValid());
    QVERIFY(!model.setData(model.index(1, 0), 30, Qt::SizeHintRole));
    QVERIFY(!model.data(QModelIndex(), Qt::SizeHintRole).isValid());
    QVERIFY(!model.setData(QModelIndex(), 30, Qt::SizeHintRole));
    QCOMPARE(int(model.flags(QModelIndex())), 0);
    model.BindSrcData(nullptr);
    QVERIFY(!model.data(model.index(0, 0, QModelIndex()), Qt::SizeHintRole).isValid());
}

void tst_zBaseItemModel::modelTester()
{
    QVERIFY(setLogicalDpi(144));
    FlatFixture fixture(4);
    fixture.rows.at(0)->setRowHeight(20);
    fixture.model.BindSrcData(nullptr);
    // rowCount ignores its parent, so the tester finds rows under a cell that index() cannot reach.
    ToleratedModelTester tester(&fixture.model, QStringList{Tolerated::doubleSizeHint} + Tolerated::flatRowCountIgnoresParent);
    fixture.model.BindSrcData(&fixture.rows);
    fixture.model.UpdateData();
    QVERIFY(fixture.model.setData(fixture.model.index(0, 0), 45, Qt::SizeHintRole));
    QVERIFY(fixture.model.setData(fixture.model.index(3, 1), QStringLiteral("text"), Qt::EditRole));
    fixture.columns.addColumn(new zBaseHeaderItem(QStringLiteral("unit")));
    QCOMPARE(fixture.model.columnCount(), 3);
    QCOMPARE(fixture.model.data(fixture.model.index(0, 2), Qt::SizeHintRole), QVariant(45.0));
    QCOMPARE(tester.failures().join("\n"), QString());
}

QTEST_MAIN(tst_zBaseItemModel)
#include "tst_zBaseItemModel.moc"
