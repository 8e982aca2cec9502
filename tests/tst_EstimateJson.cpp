// The viewer's estimate file: bad input is refused with the file and the place named,
// nothing loaded is lost on a save, and a failed save leaves the old file intact.
#include <EstimateGenerator.h>
#include <EstimateJson.h>

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray estimateWithRows(const QByteArray& rows)
{
    return R"({"format": "itemviews-estimate", "project": "P", "works": [{"name": "W", "nodeId": 1,
               "tables": [{"name": "T", "tableType": 1001, "rows": [)"
        + rows + "]}]}]}";
}

} // namespace

class tst_EstimateJson : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusesBadInput_data();
    void refusesBadInput();
    void readsTreeAndFlags();
    void saveLosesNothing();
    void missingFileIsNamed();
    void failedSaveKeepsOldFile();
};

void tst_EstimateJson::refusesBadInput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expectedError");

    const QByteArray section = R"({"id": 1, "type": "section", "name": "Frame"})";
    QTest::newRow("truncated file") << estimateWithRows(section).left(60) << "est.json: line 1, column 61: unterminated object";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "est.json: top level: expected an object";
    QTest::newRow("other format") << QByteArray(R"({"format": "csv", "works": []})") << "est.json: format: expected";
    QTest::newRow("works not an array") << QByteArray(R"({"format": "itemviews-estimate", "works": 3})")
                                        << "est.json: top level.works: expected an array";
    QTest::newRow("id is a string") << estimateWithRows(R"({"id": "7", "type": "item"})")
                                    << "est.json: works[0].tables[0].rows[0].id: expected a whole number";
    QTest::newRow("quantity is a string")
        << estimateWithRows(section + R"(, {"id": 2, "parent": 1, "type": "item", "quantity": "ten"})")
        << "est.json: works[0].tables[0].rows[1].quantity: expected a number";
    QTest::newRow("expanded is a number") << estimateWithRows(R"({"id": 1, "type": "item", "expanded": 1})")
                                          << "est.json: works[0].tables[0].rows[0].expanded: expected true or false";
    QTest::newRow("unknown row type") << estimateWithRows(R"({"id": 1, "type": "chapter"})")
                                      << "est.json: works[0].tables[0].rows[0].type: unknown row type \"chapter\"";
    QTest::newRow("duplicate id") << estimateWithRows(section + "," + section)
                                  << "est.json: works[0].tables[0].rows[1].id: another row already has id 1";
    QTest::newRow("unknown parent") << estimateWithRows(R"({"id": 1, "parent": 9, "type": "item"})")
                                    << "est.json: works[0].tables[0].rows[0].parent: no row has id 9";
    QTest::newRow("parent links form a cycle")
        << estimateWithRows(R"({"id": 1, "parent": 2, "type": "item"}, {"id": 2, "parent": 1, "type": "item"})")
        << "est.json: works[0].tables[0].rows: the parent links form a cycle";
    QTest::newRow("row is its own parent") << estimateWithRows(R"({"id": 1, "parent": 1, "type": "item"})")
                                           << "est.json: works[0].tables[0].rows: the parent links form a cycle";
    QTest::newRow("span names no row") << estimateWithRows(R"({"id": 1, "type": "section", "spans": [5]})")
                                       << "est.json: works[0].tables[0].rows[0].spans: no row has id 5";
}

void tst_EstimateJson::refusesBadInput()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expectedError);

    QString error;
    QVERIFY(!EstimateJson::parse(json, "est.json", &error));
    QVERIFY2(error.startsWith(expectedError), qPrintable(error));
}

void tst_EstimateJson::readsTreeAndFlags()
{
    QString error;
    auto estimate = EstimateJson::parse(
        estimateWithRows(R"({"id": 1, "type": "section", "name": "Frame", "expanded": false, "spans": [3]},
                            {"id": 2, "parent": 1, "type": "item", "quantity": 4.5, "visible": false},
                            {"id": 3, "parent": 1, "type": "note", "collapsable": false})"),
        "est.json", &error);
    QVERIFY2(estimate, qPrintable(error));
    const Estimate::Table& table = *estimate->works.at(0)->tables.at(0);
    QCOMPARE(table.rows.size(), 3);
    BaseDataItem* section = table.rows.at(0);
    QCOMPARE(section->getBaseDataItemlist(), (QList<BaseDataItem*>{table.rows.at(1), table.rows.at(2)}));
    QCOMPARE(table.rows.at(2)->getParent(), section);
    QCOMPARE(*section->getSpanChildrenRows(), QList<BaseDataItem*>{table.rows.at(2)});
    QVERIFY(!section->getExpanded());
    QVERIFY(!table.rows.at(1)->getVisible());
    QVERIFY(!table.rows.at(2)->getCollapsable());
    QCOMPARE(table.rows.at(2)->getRowType(), int(EstimateRowType::Note));
    QCOMPARE(table.rows.at(1)->getValue(EstimateField::Quantity).toDouble(), 4.5);
    QCOMPARE(table.rows.at(1)->getOwner(), table.table.get());
    QCOMPARE(table.table->getOwner(), estimate->works.at(0)->work.get());
}

void tst_EstimateJson::saveLosesNothing()
{
    auto generated = EstimateGenerator::generate(400);
    generated->works.at(0)->tables.at(0)->rows.at(3)->setValue(EstimateField::Name, QString::fromUtf8("\"quoted\" back\\slash\ttab Ü 混凝土"));
    const QByteArray saved = EstimateJson::serialize(*generated);
    QString error;
    auto reloaded = EstimateJson::parse(saved, "est.json", &error);
    QVERIFY2(reloaded, qPrintable(error));
    QCOMPARE(reloaded->rowCount(), generated->rowCount());
    QCOMPARE(EstimateJson::serialize(*reloaded), saved);
    QCOMPARE(reloaded->works.at(0)->tables.at(0)->rows.at(3)->getValue(EstimateField::Name).toString(),
             QString::fromUtf8("\"quoted\" back\\slash\ttab Ü 混凝土"));

    // The reviewed copy is related row by row to the submitted one.
    bool related = false;
    BaseDataItem* submittedRow = reloaded->works.at(0)->tables.at(0)->rows.at(5);
    BaseDataItem* counterpart = reloaded->audit->GetRelationItem(submittedRow, related);
    QVERIFY(related);
    QCOMPARE(counterpart, reloaded->works.at(1)->tables.at(0)->rows.at(5));
}

void tst_EstimateJson::missingFileIsNamed()
{
    QString error;
    QVERIFY(!EstimateJson::read("/nonexistent/site.json", &error));
    QVERIFY2(error.startsWith("/nonexistent/site.json: cannot open"), qPrintable(error));
}

void tst_EstimateJson::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    auto small = EstimateGenerator::generate(20);
    QString error;
    QVERIFY(EstimateJson::write(*small, path, &error));
    const QByteArray before = EstimateJson::serialize(*small);

    // A file-size limit makes the write fail part-way, for root as well.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = rlim_t(before.size() * 2);
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool written = EstimateJson::write(*EstimateGenerator::generate(2000), path, &error);
    setrlimit(RLIMIT_FSIZE, &previous);

    QVERIFY(!written);
    QVERIFY2(error.startsWith(path + ": cannot save"), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_GUILESS_MAIN(tst_EstimateJson)
#include "tst_EstimateJson.moc"
