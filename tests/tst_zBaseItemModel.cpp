// Pins the logical DPI: Qt 6 must not absorb it into a device pixel ratio (QT_ENABLE_HIGHDPI_SCALING=0).
#define TESTCASE_LOWDPI
#include "TestHelpers.h"

#include <BaseDataItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>

#include <QtTest>

namespace {

// Two columns ("code", "name") over rows the fixture owns; the second column takes no edits.
struct FlatFixture {
    explicit FlatFixture(int rowCount)
        : tree(QStringLiteral("row\n").repeated(rowCount)), rows(tree.rows())
    {
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("code")));
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
        model.setHeaderColumn(&columns);
        model.setColumnEditable(1, false);
        model.BindSrcData(&rows);
    }

    TreeFixture tree;
    QList<BaseDataItem*> rows;
    zBaseHeaderColumn columns;
    zBaseItemModel model;
};

// Installs a data hook that records "name(role,row,header):value found" for each call. "answer=V" / "rewrite=V"
// write V and return true, "once=V" also removes the hook while it runs, "empty" returns true untouched,
// "refuse" / "decline" return false, "decline=V" writes V and returns false; "cleared:X" installs X and
// removes it again, "" installs nothing.
void installHook(void (zBaseItemModel::*setter)(zBaseItemModel::DataHook), zBaseItemModel* model,
                 const QString& name, QString behaviour, QStringList* calls)
{
    const bool cleared = behaviour.startsWith(QLatin1String("cleared:"));
    behaviour.remove(QLatin1String("cleared:"));
    if (behaviour.isEmpty())
        return;
    // A private copy: a hook removed while it runs frees it, which shows under ASan.
    const QString rule(behaviour.constData(), behaviour.size());
    (model->*setter)([=](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        calls->append(QStringLiteral("%1(%2,%3,%4):%5").arg(name).arg(role).arg(index.row()).arg(header->headerIdentify(), value.toString()));
        if (rule.startsWith(QLatin1String("once")))
            (model->*setter)(nullptr);
        if (rule.contains('='))
            value = rule.section('=', 1);
        return !rule.startsWith(QLatin1String("decline")) && !rule.startsWith(QLatin1String("refuse"));
    });
    if (cleared)
        (model->*setter)(nullptr);
}

// The flags hook returns "true" or "false" after applying "+enabled", "+checkable" or "-editable".
void installFlagsHook(zBaseItemModel& model, const QString& behaviour, QStringList* calls)
{
    model.callFlags([=](const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags) {
        calls->append(QStringLiteral("flags(%1,%2):%3").arg(index.row()).arg(header->headerIdentify()).arg(int(flags)));
        flags |= behaviour.contains(QLatin1String("+enabled")) ? Qt::ItemIsEnabled : Qt::NoItemFlags;
        flags |= behaviour.contains(QLatin1String("+checkable")) ? Qt::ItemIsUserCheckable : Qt::NoItemFlags;
        flags &= behaviour.contains(QLatin1String("-editable")) ? ~Qt::ItemIsEditable : ~Qt::NoItemFlags;
        return behaviour.startsWith(QLatin1String("true"));
    });
    if (behaviour.startsWith(QLatin1String("cleared")))
        model.callFlags(nullptr);
}

} // namespace

class tst_zBaseItemModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QVERIFY(setLogicalDpi(100)); }
    void cellHooks_data()
    {
        QTest::addColumn<qreal>("dpi");
        QTest::addColumn<double>("storedHeight");
        for (const char* column : {"operation", "starting", "ending", "expected", "expectedCalls"})
            QTest::addColumn<QString>(column);

        // Everything asks row 1, column "name", which takes no edits. A read goes through the data hooks.
        QTest::newRow("96 dpi: as stored") << 96.0 << 20.0 << "read" << "" << "" << "double 20" << "";
        QTest::newRow("144 dpi: one and a half") << 144.0 << 20.0 << "read" << "" << "" << "double 30" << "";
        QTest::newRow("100 dpi: scaled by 100/96") << 100.0 << 24.0 << "read" << "" << "" << "double 25" << "";
        QTest::newRow("144 dpi, no height: -1 unscaled") << 144.0 << 0.0 << "read" << "" << "" << "double -1" << "";
        QTest::newRow("144 dpi, negative height") << 144.0 << -4.0 << "read" << "" << "" << "double -1" << "";
        const QString start = QStringLiteral("starting(13,1,name):");
        const QString end = QStringLiteral("ending(13,1,name):");
        QTest::newRow("starting answers: ending and model skipped") << 144.0 << 20.0 << "read" << "answer=7" << "answer=8" << "QString 7" << start;
        QTest::newRow("starting answers nothing: invalid, ending skipped") << 96.0 << 20.0 << "read" << "empty" << "answer=8" << "invalid" << start;
        QTest::newRow("starting declines, ending answers") << 144.0 << 20.0 << "read" << "decline" << "answer=8" << "QString 8" << start + ' ' + end;
        QTest::newRow("starting declines and writes: ending sees a fresh value") << 96.0 << 20.0 << "read" << "decline=5" << "empty" << "invalid" << start + ' ' + end;
        QTest::newRow("only ending, declining: the model answers") << 144.0 << 20.0 << "read" << "" << "decline" << "double 30" << end;
        QTest::newRow("starting removes itself while answering") << 96.0 << 20.0 << "read" << "once=7" << "" << "QString 7" << start;
        QTest::newRow("cleared starting: ending answers") << 96.0 << 20.0 << "read" << "cleared:answer=7" << "answer=8" << "QString 8" << end;
        QTest::newRow("both cleared: the model answers") << 144.0 << 20.0 << "read" << "cleared:answer=7" << "cleared:answer=8" << "double 30" << "";
        // A write of 30 goes through the editor hooks: accepted or not, the height stored, whether the base
        // announced the cell with the caller's role, then the read.
        QTest::newRow("write, 96 dpi: stored as written") << 96.0 << 10.0 << "write" << "" << "" << "true 30 announced double 30" << "";
        QTest::newRow("write, 144 dpi: stored unscaled, the base gets 30") << 144.0 << 10.0 << "write" << "" << "" << "true 20 announced double 30" << "";
        QTest::newRow("starting refuses: ending, row and base untouched") << 144.0 << 10.0 << "write" << "refuse" << "empty" << "false 10 double 15" << start + "30";
        QTest::newRow("starting accepts, ending refuses") << 96.0 << 10.0 << "write" << "empty" << "refuse" << "false 10 double 10" << start + "30 " + end + "30";
        QTest::newRow("starting rewrites: ending sees it, the row does not") << 144.0 << 10.0 << "write" << "rewrite=99" << "empty" << "true 20 announced double 30" << start + "30 " + end + "99";
        QTest::newRow("ending rewrites: not written") << 96.0 << 10.0 << "write" << "" << "rewrite=99" << "true 30 announced double 30" << end + "30";
        QTest::newRow("cleared refusing hooks: written") << 144.0 << 10.0 << "write" << "cleared:refuse" << "cleared:refuse" << "true 20 announced double 30" << "";
        // Flags: the base gives selectable|enabled (33); the hook starts from selectable|editable (3). A cleared
        // hook leaves the base's flags.
        QTest::newRow("flags false, untouched: the preset") << 96.0 << 0.0 << "flags" << "false" << "" << "flags 3" << "flags(1,name):3";
        QTest::newRow("flags false, adds enabled") << 96.0 << 0.0 << "flags" << "false+enabled" << "" << "flags 35" << "flags(1,name):3";
        QTest::newRow("flags false, removes editable") << 96.0 << 0.0 << "flags" << "false-editable" << "" << "flags 1" << "flags(1,name):3";
        QTest::newRow("flags true, adds checkable: dropped") << 96.0 << 0.0 << "flags" << "true+checkable" << "" << "flags 33" << "flags(1,name):3";
        QTest::newRow("cleared flags hook: the base's flags") << 96.0 << 0.0 << "flags" << "cleared:false" << "" << "flags 33" << "";
    }

    void cellHooks()
    {
        QFETCH(qreal, dpi);
        QFETCH(double, storedHeight);
        QFETCH(QString, operation);
        QFETCH(QString, starting);
        QFETCH(QString, ending);
        QVERIFY(setLogicalDpi(dpi));
        FlatFixture fixture(3);
        zBaseItemModel& model = fixture.model;
        fixture.rows.at(1)->setRowHeight(storedHeight);
        const QModelIndex cell = model.index(1, 1);
        QStringList calls, result;
        if (operation == QLatin1String("flags")) {
            installFlagsHook(model, starting, &calls);
            result << QStringLiteral("flags") << QString::number(int(model.flags(cell)));
        } else {
            const bool write = operation == QLatin1String("write");
            installHook(write ? &zBaseItemModel::editorStarting : &zBaseItemModel::dataStarting, &model, QStringLiteral("starting"), starting, &calls);
            installHook(write ? &zBaseItemModel::editorEnding : &zBaseItemModel::dataEnding, &model, QStringLiteral("ending"), ending, &calls);
            QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
            if (write) {
                result << QVariant(model.setData(cell, 30, Qt::SizeHintRole)).toString() << QString::number(fixture.rows.at(1)->getRowHeight());
                for (const QList<QVariant>& change : changes)
                    result << (change.at(2).value<QVector<int>>() == QVector<int>{Qt::SizeHintRole} ? "announced" : "announced wrongly");
            }
            const QVariant answer = model.data(cell, Qt::SizeHintRole);
            result << (answer.isValid() ? answer.typeName() + (' ' + answer.toString()) : QStringLiteral("invalid"));
        }
        QTEST(result.join(' '), "expected");
        QTEST(calls.join(' '), "expectedCalls");
    }

    void badRowsBindingAndModelTester()
    {
        QVERIFY(setLogicalDpi(144));
        FlatFixture fixture(4);
        zBaseItemModel& model = fixture.model;
        fixture.rows[1] = nullptr; // a null entry, an invalid index and no list bound get the neutral answer
        for (const QModelIndex& bad : {model.index(1, 0), QModelIndex()})
            QVERIFY(!model.data(bad, Qt::SizeHintRole).isValid() && !model.setData(bad, 30, Qt::SizeHintRole));
        QCOMPARE(int(model.flags(QModelIndex())), 0);
        fixture.rows = fixture.tree.rows();
        model.BindSrcData(nullptr);
        QVERIFY(!model.data(model.index(0, 0), Qt::SizeHintRole).isValid());
        QCOMPARE(model.rowCount(), 0);
        // rowCount ignores its parent, so the tester finds rows under a cell that index() cannot reach.
        ToleratedModelTester tester(&model, QStringList{Tolerated::doubleSizeHint} + Tolerated::flatRowCountIgnoresParent);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset), inserts(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged), layouts(&model, &QAbstractItemModel::layoutChanged);
        model.BindSrcData(&fixture.rows);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(resets.count() + inserts.count() + changes.count() + layouts.count(), 0); // binding is silent
        model.UpdateData();
        QVERIFY(model.setData(model.index(0, 0), 45, Qt::SizeHintRole));
        QVERIFY(model.setData(model.index(3, 1), QStringLiteral("text"), Qt::EditRole));
        fixture.columns.addColumn(new zBaseHeaderItem(QStringLiteral("unit")));
        QCOMPARE(model.data(model.index(0, 2), Qt::SizeHintRole), QVariant(45.0));
        QCOMPARE(tester.failures().join("\n"), QString());
    }
};

QTEST_MAIN(tst_zBaseItemModel)
#include "tst_zBaseItemModel.moc"
