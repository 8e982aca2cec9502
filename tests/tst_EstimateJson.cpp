// The viewer's estimate file: bad input is refused with the file and the place named,
// nothing loaded is lost on a save, and a failed save leaves the old file intact.
#include <EstimateGenerator.h>
#include <EstimateJson.h>

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {
QByteArray estimateWithRows(const QByteArray& rows)
{
    return R"({"format": "itemviews-estimate", "project": "P", "works": [{"name": "W", "nodeId": 1,
               "tables": [{"name": "T", "tableType": 1001, "rows": [)"
        + rows + "]}]}]}";
}

// A chain of rows, each the child of the one before: levels 0 to deepest.
QByteArray chainOfRows(int deepest)
{
    QByteArray chain = R"({"id": 0, "type": "item"})";
    for (int level = 1; level <= deepest; ++level)
        chain += QStringLiteral(R"(, {"id": %1, "parent": %2, "type": "item"})").arg(level).arg(level - 1).toUtf8();
    return chain;
}
} // namespace

class tst_EstimateJson : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusesBadInput_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expectedError");
        const QByteArray section = R"({"id": 1, "type": "section", "name": "Frame"})";
        const QString row0 = "est.json: works[0].tables[0].rows[0].", row1 = "est.json: works[0].tables[0].rows[1].";
        QTest::newRow("not an object") << QByteArray("[1, 2]") << "est.json: top level: expected an object";
        QTest::newRow("other format") << QByteArray(R"({"format": "csv", "works": []})") << "est.json: format: expected";
        QTest::newRow("works not an array") << QByteArray(R"({"format": "itemviews-estimate", "works": 3})") << "est.json: top level.works: expected an array";
        QTest::newRow("quantity is a string") << estimateWithRows(section + R"(, {"id": 2, "parent": 1, "type": "item", "quantity": "ten"})") << row1 + "quantity: expected a number";
        QTest::newRow("expanded is a number") << estimateWithRows(R"({"id": 1, "type": "item", "expanded": 1})") << row0 + "expanded: expected true or false";
        QTest::newRow("unknown row type") << estimateWithRows(R"({"id": 1, "type": "chapter"})") << row0 + "type: unknown row type \"chapter\"";
        QTest::newRow("duplicate id") << estimateWithRows(section + "," + section) << row1 + "id: another row already has id 1";
        QTest::newRow("unknown parent") << estimateWithRows(R"({"id": 1, "parent": 9, "type": "item"})") << row0 + "parent: no row has id 9";
        QTest::newRow("parent links form a cycle") << estimateWithRows(R"({"id": 1, "parent": 2, "type": "item"}, {"id": 2, "parent": 1, "type": "item"})") << row0 + "parent: the parent links form a cycle";
        QTest::newRow("row is its own parent") << estimateWithRows(R"({"id": 1, "parent": 1, "type": "item"})") << row0 + "parent: the parent links form a cycle";
        QTest::newRow("cycle below a sound row: a row on it named") << estimateWithRows(R"({"id": 1, "type": "item"}, {"id": 2, "parent": 3, "type": "item"}, {"id": 3, "parent": 2, "type": "item"})") << row1 + "parent: the parent links form a cycle";
        QTest::newRow("span names no row") << estimateWithRows(R"({"id": 1, "type": "section", "spans": [5]})") << row0 + "spans[0]: no row has id 5";

        QTest::newRow("quantity of 1e400") << estimateWithRows(R"({"id": 1, "type": "item", "quantity": 1e400})") << row0 + "quantity: 1e400 is not a finite number";
        QTest::newRow("parent -5 names no row") << estimateWithRows(R"({"id": 1, "parent": -5, "type": "item"})") << row0 + "parent: no row has id -5";

        // Loose types are refused.
        for (const char* audit : {"5", "\"x\"", "[]", "true"})
            QTest::addRow("audit is %s", audit) << QByteArray(R"({"format": "itemviews-estimate", "works": [], "audit": )" + QByteArray(audit) + "}") << "est.json: top level.audit: expected an object";
        QTest::newRow("level not the depth") << estimateWithRows(section + R"(, {"id": 2, "parent": 1, "type": "item", "level": 200000000})") << row1 + "level: 200000000 does not match the row's depth in the tree, 1";

        // Text JSON forbids, with the column counted in characters.
        QTest::newRow("raw control character in a string") << estimateWithRows("{\"id\": 1, \"type\": \"item\", \"name\": \"a\x01b\"}") << "est.json: line 2, column 105: ";
        QTest::newRow("raw NUL in a string") << estimateWithRows(QByteArray("{\"id\": 1, \"type\": \"item\", \"name\": \"a\0b\"}", 41)) << "est.json: line 2, column 105: ";
        QTest::newRow("column counts characters, not bytes") << estimateWithRows(R"({"id": 1, "type": "item", "name": "混凝土"}, {"id": 2 "type": "item"})") << "est.json: line 2, column 120: ";
        QByteArray firstWorkThenError = R"({"format": "itemviews-estimate", "works": [{"nodeId": 1, "tables": [{"tableType": 1, "rows": [)";
        for (int id = 1; id <= 300; ++id) // pages of text read before the error, which the reader gives back
            firstWorkThenError += QStringLiteral("\n{\"id\": %1, \"type\": \"item\", \"name\": \"混凝土\"},").arg(id).toUtf8();
        firstWorkThenError += "\n{\"id\": 0, \"type\": \"item\"}]}]},\n{\"nodeId\": 2, \"tables\": [{\"tableType\": 1, \"rows\": [{\"id\": 1 \"type\": \"item\"}]}]}]}";
        QTest::newRow("syntax error in the second work") << firstWorkThenError << "est.json: line 303, column 61: ";
        // Fields the reader does not use are still checked: a syntax error anywhere is named.
        QTest::newRow("misspelt true in an unused field") << estimateWithRows(R"({"id": 1, "type": "item", "extra": tru})") << "est.json: line 2, column 104: ";
        QTest::newRow("misspelt null deep in an unused array") << estimateWithRows(R"({"id": 1, "type": "item", "extra": [1, [{"a": nul}]]})") << "est.json: line 2, column 104: ";
        QTest::newRow("unused object missing a value") << estimateWithRows(R"({"id": 1, "type": "item", "extra": {"a": }})") << "est.json: line 2, column 104: ";
        QTest::newRow("bad number in an unused top-level field") << QByteArray(R"({"format": "itemviews-estimate", "note": 1.2.3, "works": []})") << "est.json: line 1, column 42: ";
        QTest::newRow("junk after the estimate") << QByteArray(R"({"format": "itemviews-estimate", "works": []} x)") << "est.json: line 1, column 47: ";
        QTest::newRow("ten million brackets") << R"({"format": "itemviews-estimate", "works": )" + QByteArray(10000000, '[') << "est.json: works[0]: expected an object";
        // Whole-number fields: a number that does not fit (refused, never truncated), a value of another kind, and
        // in each field a token that is no number at all (named as written, bounded, never with a raw control byte).
        const QString work0 = "est.json: works[0].", table0 = work0 + "tables[0].", notWhole = "expected a whole number";
        const struct { const char* field; QByteArray token; QString expectedError; } badTokens[] = {
            {"nodeId", "4294967297", work0 + "nodeId: 4294967297 is out of range (-2147483648 to 2147483647)"}, {"tableType", "-2147483649", table0 + "tableType: -2147483649 is out of range"},
            {"curIndex", "4294967296", row0 + "curIndex: 4294967296 is out of range"}, {"level", "8589934592", row1 + "level: 8589934592 is out of range (0 to 2147483647)"},
            {"id", "9223372036854775808", row0 + "id: 9223372036854775808 is out of range (-9223372036854775808 to"}, {"spans", "1, 9223372036854775808", row0 + "spans[1]: 9223372036854775808 is out of range"},
            {"id", "\"7\"", row0 + "id: " + notWhole}, {"id", "1e19", row0 + "id: " + notWhole}, {"id", "2.5", row0 + "id: " + notWhole}, {"spans", "2.7", row0 + "spans[0]: " + notWhole}, {"spans", "\"abc\"", row0 + "spans[0]: " + notWhole},
            {"spans", "null", row0 + "spans[0]: " + notWhole}, {"spans", "true", row0 + "spans[0]: " + notWhole}, {"spans", "1e19", row0 + "spans[0]: " + notWhole}, {"id", "abc", row0 + "id: abc is not a number"},
            {"parent", "+1", row1 + "parent: +1 is not a number"}, {"level", ".5", row1 + "level: .5 is not a number"}, {"curIndex", "'1'", row0 + "curIndex: '1' is not a number"}, {"auditId", "", work0 + "auditId: the value is missing"},
            {"spans", "Infinity", row0 + "spans[0]: Infinity is not a number"}, {"nodeId", "\xC2\xA0" "1", work0 + "nodeId: \\u00a01 is not a number"}, {"tableType", "-", table0 + "tableType: - is not a number"},
            {"submitted", "1x", "est.json: audit.submitted: 1x is not a number"}, {"reviewed", "0x10", "est.json: audit.reviewed: 0x10 is not a number"}, {"id", "1\x01", row0 + "id: 1\\u0001 is not a number"},
            {"id", QByteArray(100, '7') + 'x', row0 + "id: " + QString(40, '7') + "… is not a number"},
        };
        const QString wholeNumbers = R"({"format": "itemviews-estimate", "audit": {"submitted": @submitted, "reviewed": @reviewed}, "works": [{"nodeId": @nodeId, "auditId": @auditId, "tables": [{"tableType": @tableType, "rows": [{"id": @id, "type": "section", "curIndex": @curIndex, "spans": [@spans]}, {"id": 2, "parent": @parent, "type": "item", "level": @level}]}]}]})";
        for (const auto& bad : badTokens) // the field named holds the token, every other one 1
            QTest::addRow("%s of %s", bad.field, bad.token.left(12).toPercentEncoding().constData()) << QString(wholeNumbers).replace(QString("@") + bad.field, bad.token).replace(QRegularExpression("@\\w+"), "1").toUtf8() << bad.expectedError;
        QTest::newRow("number cut by the end of the file") << QByteArray(R"({"format": "itemviews-estimate", "audit": {"reviewed": -)") << "est.json: line 1, column 56: JSON document ended early";
        // Deeper than the tree model's recursive expand and check support.
        QTest::newRow("one level deeper than the limit") << estimateWithRows(chainOfRows(EstimateJson::maxLevels)) << "est.json: works[0].tables[0].rows[1000].parent: the row is 1001 levels deep; at most 1000 are supported";
        // A large table is linked while the next work is read: its problem still comes before the next work's.
        QTest::newRow("too deep, then a bad work") << estimateWithRows(chainOfRows(EstimateJson::maxLevels)).chopped(2) + R"(, {"nodeId": "x", "tables": []}]})" << "est.json: works[0].tables[0].rows[1000].parent: the row is 1001 levels deep";
    }
    void refusesBadInput()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expectedError);
        QString error;
        QVERIFY(!EstimateJson::parse(json, "est.json", &error));
        QVERIFY2(error.startsWith(expectedError), qPrintable(error));
    }

    // The sample cut at every offset of its first 4 KB, every 61st to 64 KB and every 4,999th after that
    // (SWEEP_THINNING times fewer under the sanitizers).
    void cutSampleIsRefusedWithAPlace()
    {
        QFile sampleFile(SAMPLE_PATH);
        QVERIFY(sampleFile.open(QIODevice::ReadOnly));
        const QByteArray sample = sampleFile.readAll();
        const QRegularExpression placed(R"(^cut\.json: (line \d+, column \d+|(top level|format|audit|works)[^:]*): [^\x00-\x1f]+$)");
        for (int cut = 0; cut < sample.trimmed().size(); cut += SWEEP_THINNING * (cut < 4096 ? 1 : cut < 65536 ? 61 : 4999)) {
            QString error; // empty: the cut was accepted
            QVERIFY2(!EstimateJson::parse(sample.left(cut), "cut.json", &error) && placed.match(error).hasMatch(), qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(error)));
        }
    }

    // Also: ids past 2^53 stay distinct, and a negative id is an id like any other, not "no parent".
    void readsTreeFlagsAndIds()
    {
        QString error;
        auto estimate = EstimateJson::parse(estimateWithRows(R"({"id": 1, "type": "section", "name": "Frame", "expanded": false, "spans": [3]},
            {"id": 2, "parent": 1, "type": "item", "quantity": 4.5, "visibl\u0065": false}, {"id": 3, "parent": 1, "type": "note", "collapsable": false},
            {"id": 9007199254740993, "type": "section"}, {"id": 9007199254740992, "type": "section"}, {"id": -1, "type": "section"}, {"id": 5, "parent": -1, "type": "item"})"),
                                            "est.json", &error);
        QVERIFY2(estimate, qPrintable(error));
        const Estimate::Table& table = *estimate->works.at(0)->tables.at(0);
        QCOMPARE(table.rows.size(), 7);
        BaseDataItem* section = table.rows.at(0);
        QCOMPARE(section->getBaseDataItemlist(), (QList<BaseDataItem*>{table.rows.at(1), table.rows.at(2)}));
        QCOMPARE(table.rows.at(2)->getParent(), section);
        QCOMPARE(*section->getSpanChildrenRows(), QList<BaseDataItem*>{table.rows.at(2)});
        QCOMPARE(QVector<bool>({section->getExpanded(), table.rows.at(1)->getVisible(), table.rows.at(2)->getCollapsable()}), QVector<bool>(3, false));
        QCOMPARE(table.rows.at(2)->getRowType(), int(EstimateRowType::Note));
        QCOMPARE(table.rows.at(1)->getValue(EstimateField::Quantity).toDouble(), 4.5);
        QCOMPARE(table.rows.at(1)->getOwner(), table.table.get());
        QCOMPARE(table.table->getOwner(), estimate->works.at(0)->work.get());
        const QByteArray saved = EstimateJson::serialize(*estimate);
        QVERIFY2(saved.contains(R"({"id":9007199254740993,"parent":null)"), saved.constData());
        QVERIFY2(saved.contains(R"({"id":5,"parent":-1,"type":"item","level":1)"), saved.constData());
        QVERIFY2(EstimateJson::parse(saved, "est.json", &error), qPrintable(error));
    }

    void saveLosesNothing()
    {
        const QString name = QString::fromUtf8("\"quoted\" back\\slash\ttab Ü 混凝土");
        auto generated = EstimateGenerator::generate(400);
        generated->works.at(0)->tables.at(0)->rows.at(3)->setValue(EstimateField::Name, name);
        const QByteArray saved = EstimateJson::serialize(*generated);
        QString error;
        auto reloaded = EstimateJson::parse(saved, "est.json", &error);
        QVERIFY2(reloaded, qPrintable(error));
        QCOMPARE(reloaded->rowCount(), generated->rowCount());
        QCOMPARE(EstimateJson::serialize(*reloaded), saved);
        QCOMPARE(reloaded->works.at(0)->tables.at(0)->rows.at(3)->getValue(EstimateField::Name).toString(), name);
        bool related = false; // the reviewed copy is related row by row to the submitted one
        QCOMPARE(reloaded->audit->GetRelationItem(reloaded->works.at(0)->tables.at(0)->rows.at(5), related), reloaded->works.at(1)->tables.at(0)->rows.at(5));
        QVERIFY(related);
    }

    void unreadableFileIsNamed_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("missing file") << "missing.json" << "missing.json: cannot open: No such file";
        QTest::newRow("a directory") << "folder.json" << "folder.json: cannot open: not a regular file";
        QTest::newRow("a FIFO with no writer") << "fifo.json" << "fifo.json: cannot open: not a regular file";
    }
    void unreadableFileIsNamed()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, expectedError);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.json"));
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.json")).constData(), 0600), 0);
        QString error;
        QVERIFY(!EstimateJson::read(dir.filePath(fileName), &error)); // a FIFO would block here for ever if opened blocking
        QVERIFY2(error.startsWith(dir.filePath(expectedError)), qPrintable(error));
    }

    // A size limit is set in a viewer of its own, as it holds for a whole process. Qt's buffer kept writes
    // under 16 KiB until commit(), which ignored their failure.
    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("sizeLimit");
        QTest::addColumn<QString>("expectedProblem");
        QTest::newRow("a number that is not finite") << "nan" << 0 << "cannot save: works[0].tables[0].rows[1500].quantity: nan is not a finite number";
        QTest::newRow("a tree deeper than a file holds") << "deep" << 0 << "cannot save: works[0].tables[0].rows[3002].parent: the row is more than 1000 levels deep";
        QTest::newRow("size limit in the last, small write") << "small file" << 1024 << "cannot save: could not write the whole file: File too large";
        QTest::newRow("size limit inside a large write") << "" << 500000 << "cannot save: could not write the whole file: File too large";
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, fault);
        QFETCH(int, sizeLimit);
        QFETCH(QString, expectedProblem);
        QTemporaryDir dir;
        const QString path = dir.filePath("site.json"), source = dir.filePath("source.json");
        auto small = EstimateGenerator::generate(20);
        QString error;
        QVERIFY(EstimateJson::write(*small, path, &error));
        const QByteArray before = EstimateJson::serialize(*small);
        auto large = EstimateGenerator::generate(fault == "small file" ? 10 : 2000); // written at once: 7 KB, or 900 KB
        QList<BaseDataItem*>& rows = large->works.at(0)->tables.at(0)->rows;
        if (fault == "nan")
            rows.at(1500)->setValue(EstimateField::Quantity, qQNaN());
        for (int level = 1; fault == "deep" && level <= EstimateJson::maxLevels; ++level) { // a chain below the first root
            auto* row = new TreeBaseItem;
            row->setParentAlone(static_cast<TreeBaseItem*>(rows.at(level == 1 ? 0 : rows.size() - 1)));
            rows.append(row); // owned by the estimate
        }
        QProcess viewer;
        if (sizeLimit == 0) {
            QVERIFY(!EstimateJson::write(*large, path, &error));
        } else { // SIGXFSZ ignored, also by the viewer: the write fails instead of killing it
            QVERIFY(EstimateJson::write(*large, source, &error));
            std::signal(SIGXFSZ, SIG_IGN);
            viewer.start("prlimit", {"--fsize=" + QString::number(sizeLimit), VIEWER_PATH, source, "--save", path});
            QVERIFY(viewer.waitForFinished(120000));
            QCOMPARE(viewer.exitCode(), 1);
            error = viewer.readAllStandardError();
        }
        QVERIFY2(error.contains(path + ": " + expectedProblem), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList({"site.json*"}), QStringList("site.json")); // no temporary file left
    }
};

QTEST_GUILESS_MAIN(tst_EstimateJson)
#include "tst_EstimateJson.moc"
