// The data layer stand-in: tree traversal, the cached descendant count, and the
// host-facing pieces the models rely on.
#include "TestHelpers.h"

#include <AuditBusiness.h>
#include <GcSetting.h>
#include <TreeBaseItem.h>

#include <QtTest>

#include <vector>

class tst_TreeBaseItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void descendants_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("recursive");
        QTest::addColumn<QString>("expected"); // the list, the descendant count, then parent>child as visited
        QTest::newRow("all descendants in pre-order, parents first") << "A" << true << "A1 A1a A1b A2 A2a | 5 | A>A1 A1>A1a A1>A1b A>A2 A2>A2a";
        QTest::newRow("direct children only") << "A" << false << "A1 A2 | 5 | A>A1 A>A2";
        QTest::newRow("leaf has none") << "B" << true << " | 0 | ";
        QTest::newRow("inner node") << "A1" << true << "A1a A1b | 2 | A1>A1a A1>A1b";
    }
    void descendants()
    {
        QFETCH(QString, root);
        QFETCH(bool, recursive);
        TreeFixture tree("A\n-A1\n--A1a\n--A1b\n-A2\n--A2a\nB");
        QStringList visits;
        NamedRow* top = tree.row(root);
        top->getAllBaseDataItemlist([&visits](BaseDataItem* from, BaseDataItem* to) { visits << names({from, to}).replace(' ', '>'); }, recursive);
        const QStringList answers{names(top->getAllBaseDataItemlist(recursive)), QString::number(top->getChildrenItemCount()), visits.join(' ')};
        QTEST(answers.join(" | "), "expected");
    }

    void descendantCountFollowsShapeChanges()
    {
        TreeFixture tree("A\n-A1\n--A1a\nB");
        QCOMPARE(tree.row("A")->getChildrenItemCount(), 2);
        // A grandchild added below A1 changes A's count although A's own list is untouched.
        tree.row("A1")->setBaseDataItemListDirect({tree.row("A1a"), tree.makeRow("A1b")});
        QCOMPARE(tree.row("A")->getChildrenItemCount(), 3);
        tree.row("A1")->setBaseDataItemListDirect({});
        QCOMPARE(tree.row("A")->getChildrenItemCount(), 1);
    }

    void destroyingARowLeavesItsChildren()
    {
        TreeFixture tree("A\n-A1");
        NamedRow* child = tree.row("A1");
        delete tree.row("A");
        QVERIFY(tree.isAlive(child));
        QCOMPARE(tree.aliveCount(), 1);
    }

    void childAtPosition()
    {
        TreeFixture tree("A\n-A1\n-A2");
        BaseDataItem plain;
        QCOMPARE(names({tree.row("A")->getChildrenAt(1), tree.row("A")->getChildrenAt(2), tree.row("A")->getChildrenAt(-1), plain.getChildrenAt(0), plain.getParent()}),
                 QString("A2 null null null null"));
        QCOMPARE(plain.getChildrenCount(), 0);
    }

    void relationIsRecordedBothWays()
    {
        AuditBusiness audit;
        BaseDataItem submitted, reviewed, unrelated;
        audit.SetRelationItem(&submitted, &reviewed);
        bool fromReviewed = false, fromSubmitted = false, fromUnrelated = true;
        QCOMPARE(audit.GetRelationItem(&reviewed, fromReviewed), &submitted);
        QCOMPARE(audit.GetRelationItem(&submitted, fromSubmitted), &reviewed);
        QVERIFY(!audit.GetRelationItem(&unrelated, fromUnrelated));
        QCOMPARE(QList<bool>({fromReviewed, fromSubmitted, fromUnrelated}), QList<bool>({true, true, false}));
    }

    // Relations live in one open-addressed table: forgetting rows must leave every other relation findable.
    void forgettingRowsKeepsEveryOtherRelation()
    {
        AuditBusiness audit;
        std::vector<BaseDataItem> rows(3000);
        for (size_t row = 0; row < rows.size(); row += 2)
            audit.SetRelationItem(&rows[row], &rows[row + 1]);
        for (size_t row = 0; row < rows.size(); row += 3)
            audit.ForgetRow(&rows[row]); // takes the pair out both ways
        for (size_t row = 0; row < rows.size(); ++row) {
            const size_t first = row - row % 2;
            const bool forgotten = first % 3 == 0 || (first + 1) % 3 == 0;
            bool related = false;
            BaseDataItem* counterpart = audit.GetRelationItem(&rows[row], related);
            QCOMPARE(related, !forgotten);
            QCOMPARE(counterpart, forgotten ? nullptr : &rows[row ^ 1]);
        }
    }

    void settingsAnswerZeroForUnknownKey()
    {
        GcSetting settings;
        settings.SetMapZxCurIndex(1, 2, 1001, 7, -3);
        QCOMPARE(settings.GetMapZxCurIndex(1, 2, 1001), qMakePair(7, -3));
        QCOMPARE(settings.GetMapZxCurIndex(1, 2, 1002), qMakePair(0, 0));
        QCOMPARE(settings.GetMapZxCurIndex(2, 1, 1001), qMakePair(0, 0));
    }
};

QTEST_GUILESS_MAIN(tst_TreeBaseItem)
#include "tst_TreeBaseItem.moc"
