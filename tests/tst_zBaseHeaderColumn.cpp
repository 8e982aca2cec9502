// Column mapping between shown (virtual) and declared (original) columns.
#include "TestHelpers.h"

#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QtTest>

class tst_zBaseHeaderColumn : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void mapping_data()
    {
        QTest::addColumn<QList<int>>("hidden");
        QTest::addColumn<int>("moveFrom"); // display positions, -1 for no move
        QTest::addColumn<int>("moveTo");
        QTest::addColumn<QList<int>>("virtualToOriginal");
        QTest::addColumn<QList<int>>("originalToVirtual");
        QTest::newRow("declared order") << QList<int>{} << -1 << -1 << QList<int>{0, 1, 2, 3} << QList<int>{0, 1, 2, 3};
        QTest::newRow("second column hidden") << QList<int>{1} << -1 << -1 << QList<int>{0, 2, 3} << QList<int>{0, -1, 1, 2};
        QTest::newRow("last column moved first") << QList<int>{} << 3 << 0 << QList<int>{3, 0, 1, 2} << QList<int>{1, 2, 3, 0};
        QTest::newRow("moved and hidden") << QList<int>{2} << 3 << 0 << QList<int>{3, 0, 1} << QList<int>{1, 2, -1, 0};
    }
    void mapping()
    {
        QFETCH(QList<int>, hidden);
        QFETCH(int, moveFrom);
        QFETCH(int, moveTo);
        QFETCH(QList<int>, virtualToOriginal);
        QFETCH(QList<int>, originalToVirtual);
        zBaseHeaderColumn columns;
        for (const char* id : {"a", "b", "c", "d"})
            columns.addColumn(new zBaseHeaderItem(id));
        QSignalSpy changed(&columns, &zBaseHeaderColumn::columnsChanged);
        for (int originalColumn : hidden)
            columns.setColumnHidden(originalColumn, true);
        columns.moveColumn(moveFrom, moveTo);
        QCOMPARE(changed.count(), hidden.size() + (moveFrom >= 0 ? 1 : 0));

        QCOMPARE(columns.virtualCount(), virtualToOriginal.size());
        for (int virtualColumn = -1; virtualColumn <= virtualToOriginal.size(); ++virtualColumn) // one past each end: none
            QCOMPARE(columns.virtualIndexToOriginalIndex(virtualColumn), virtualToOriginal.value(virtualColumn, -1));
        for (int originalColumn = 0; originalColumn <= originalToVirtual.size(); ++originalColumn) {
            QCOMPARE(columns.originalIndexToVirtualIndex(originalColumn), originalToVirtual.value(originalColumn, -1));
            QCOMPARE(columns.isColumnVisibleByOriginalIndex(originalColumn), originalToVirtual.value(originalColumn, -1) >= 0);
        }
    }
};

QTEST_GUILESS_MAIN(tst_zBaseHeaderColumn)
#include "tst_zBaseHeaderColumn.moc"
