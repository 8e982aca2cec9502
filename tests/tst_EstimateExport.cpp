// The viewer's exports read back as their readers see them: the workbook's sheet XML, the PDF's text, the command line.
#include <EstimateJson.h>
#include <ShownTable.h>
#include <TablePrinter.h>
#include <TreeTab.h>
#include <WorkbookExport.h>
#include <zTreeItemView.h>

#include <QtTest>
#include <QtWidgets>

namespace {
// A section three levels deep: a folded subsection (its note stays shown), a lump sum, a note with an item
// of its own and a subtotal, none of which may be counted twice; and a note at the top.
const QByteArray threeLevels = R"({"format": "itemviews-estimate", "project": "Quay", "works": [{"name": "Submitted", "nodeId": 1,
 "tables": [{"name": "Bill", "tableType": 1001, "rows": [
 {"id": 1, "type": "section", "code": "1", "name": "Section", "total": 127},
 {"id": 2, "parent": 1, "type": "subsection", "code": "1.1", "name": "Folded", "total": 27, "expanded": false},
 {"id": 3, "parent": 2, "type": "item", "code": "1.1.1", "name": "Leaf", "quantity": 2, "unitPrice": 10, "total": 20, "visible": false},
 {"id": 4, "parent": 2, "type": "item", "code": "1.1.2", "name": "Parent", "total": 7, "visible": false},
 {"id": 5, "parent": 4, "type": "subitem", "code": "1.1.2.1", "quantity": 1, "unitPrice": 3, "total": 3, "visible": false},
 {"id": 6, "parent": 4, "type": "subitem", "code": "1.1.2.2", "quantity": 2, "unitPrice": 2, "total": 4, "visible": false},
 {"id": 7, "parent": 2, "type": "note", "name": "Priced note", "quantity": 1, "unitPrice": 5, "total": 5, "collapsable": false},
 {"id": 8, "parent": 1, "type": "item", "code": "1.2", "name": "Lump sum", "total": 100},
 {"id": 9, "parent": 1, "type": "note", "name": "Provisional", "total": 50},
 {"id": 10, "parent": 9, "type": "item", "code": "1.3.1", "quantity": 5, "unitPrice": 10, "total": 50},
 {"id": 11, "parent": 1, "type": "subtotal", "name": "Subtotal 1", "total": 127},
 {"id": 12, "type": "note", "name": "Excluded", "total": 9}]}]}]})";

// One section with more children than a function takes arguments.
QByteArray wideSection(int children)
{
    QByteArray rows = R"({"id": 1, "type": "section", "code": "1", "name": "Wide", "total": )" + QByteArray::number(children * 6) + "}";
    for (int child = 0; child < children; ++child)
        rows += QStringLiteral(R"(, {"id": %1, "parent": 1, "type": "item", "code": "1.%2", "quantity": 2, "unitPrice": 3, "total": 6})")
                    .arg(child + 2).arg(child + 1).toUtf8();
    return R"({"format": "itemviews-estimate", "project": "Quay", "works": [{"name": "Submitted", "nodeId": 1, "tables": [
        {"name": "Bill", "tableType": 1001, "rows": [)" + rows + "]}]}]}";
}

struct Cell
{
    QString type; // "" for a number, "inlineStr" for text
    QString formula;
    QString value;
};
struct SheetRow
{
    int level = 0;
    bool hidden = false;
    bool collapsed = false;
    QMap<QString, Cell> cells; // by column letter
};

// The first sheet's rows by number, as a spreadsheet reads them.
QMap<int, SheetRow> readSheet(const QString& workbook, bool* frozenHeader)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), workbook, QStringLiteral("xl/worksheets/sheet1.xml")});
    unzip.waitForFinished();
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    QMap<int, SheetRow> rows;
    SheetRow* row = nullptr;
    Cell* cell = nullptr;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("pane")) {
            *frozenHeader = attributes.value("state") == QLatin1String("frozen") && attributes.value("ySplit") == QLatin1String("1");
        } else if (xml.name() == QLatin1String("row")) {
            row = &rows[attributes.value("r").toInt()];
            row->level = attributes.value("outlineLevel").toInt();
            row->hidden = attributes.value("hidden") == QLatin1String("1");
            row->collapsed = attributes.value("collapsed") == QLatin1String("1");
        } else if (xml.name() == QLatin1String("c") && row) {
            cell = &row->cells[attributes.value("r").toString().remove(QRegularExpression("[0-9]"))];
            cell->type = attributes.value("t").toString();
        } else if (xml.name() == QLatin1String("f") && cell) {
            cell->formula = xml.readElementText();
        } else if ((xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t")) && cell) {
            cell->value = xml.readElementText();
        }
    }
    return rows;
}

// An estimate in the tree tab, as the viewer shows it.
struct Shown
{
    explicit Shown(const QByteArray& json)
        : estimate(EstimateJson::parse(json, QStringLiteral("test.json"), &error))
    {
        tab.setTable(estimate ? estimate->works.front()->tables.front().get() : nullptr);
    }
    ShownTable table() const { return ShownTable(*tab.view(), estimate.get()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString error;
    std::unique_ptr<Estimate> estimate;
    TreeTab tab;
    QTemporaryDir dir;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class tst_EstimateExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void workbookRows_data()
    {
        QTest::addColumn<int>("sheetRow");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QString>("formula"); // empty: a plain number
        QTest::addColumn<QString>("cached");
        QTest::newRow("section: its block without the note's own item") << 2 << 0 << false << "SUBTOTAL(9,F3:F10,F12)" << "127";
        QTest::newRow("folded subsection") << 3 << 1 << false << "SUBTOTAL(9,F4:F8)" << "27";
        QTest::newRow("leaf under the fold") << 4 << 2 << true << "D4*E4" << "20";
        QTest::newRow("third level parent") << 5 << 2 << true << "SUBTOTAL(9,F6:F7)" << "7";
        QTest::newRow("third level leaf") << 6 << 3 << true << "D6*E6" << "3";
        QTest::newRow("priced note, shown under the fold, not counted") << 8 << 2 << false << "SUBTOTAL(9,F$1)+D8*E8" << "5";
        QTest::newRow("stored total without a price") << 9 << 1 << false << "" << "100";
        QTest::newRow("note with an item of its own") << 10 << 1 << false << "SUBTOTAL(9,F11)" << "50";
        QTest::newRow("subtotal repeats its parent") << 12 << 1 << false << "SUBTOTAL(9,F2)" << "127";
        QTest::newRow("note at the top") << 13 << 0 << false << "" << "9";
    }
    void workbookRows()
    {
        QFETCH(int, sheetRow);
        Shown shown(threeLevels);
        QVERIFY2(WorkbookExport::write(shown.table(), shown.path("bill.xlsx"), &shown.error), qPrintable(shown.error));
        bool frozenHeader = false;
        const QMap<int, SheetRow> sheet = readSheet(shown.path("bill.xlsx"), &frozenHeader);
        QVERIFY(frozenHeader);
        QCOMPARE(sheet.size(), 13); // the header and every row, folded or not
        QCOMPARE(sheet[1].cells["F"].value, QString("Total"));
        QCOMPARE(sheet[3].collapsed, true);
        QTEST(sheet[sheetRow].level, "level");
        QTEST(sheet[sheetRow].hidden, "hidden");
        QTEST(sheet[sheetRow].cells["F"].formula, "formula");
        QTEST(sheet[sheetRow].cells["F"].value, "cached");
        QCOMPARE(sheet[sheetRow].cells["F"].type, QString()); // a number
        QCOMPARE(sheet[4].cells["A"].type, QString("inlineStr"));
        QCOMPARE(sheet[4].cells["A"].value, QString("1.1.1"));
        QCOMPARE(sheet[4].cells["D"].type, QString());
        QCOMPARE(sheet[4].cells["D"].value, QString("2"));
    }

    void wideSectionStaysWithinFormulaLimits()
    {
        Shown shown(wideSection(300));
        QVERIFY2(WorkbookExport::write(shown.table(), shown.path("wide.xlsx"), &shown.error), qPrintable(shown.error));
        bool frozenHeader = false;
        const QMap<int, SheetRow> sheet = readSheet(shown.path("wide.xlsx"), &frozenHeader);
        QCOMPARE(sheet.size(), 302);
        QCOMPARE(sheet[2].cells["F"].formula, QString("SUBTOTAL(9,F3:F302)"));
        QCOMPARE(sheet[2].cells["F"].value, QString("1800"));
        QCOMPARE(sheet[302].cells["F"].formula, QString("D302*E302"));
    }

    void pdfPagesCarryTheirHeadings()
    {
        Shown shown(wideSection(300));
        QVERIFY2(TablePrinter::writePdf(shown.table(), shown.path("wide.pdf"), &shown.error), qPrintable(shown.error));
        const QString info = run("pdfinfo", {shown.path("wide.pdf")});
        const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
        QVERIFY2(pages > 3, qPrintable(info));
        QString all;
        for (int page = 1; page <= pages; ++page) {
            const QString text = run("pdftotext", {"-layout", "-f", QString::number(page), "-l", QString::number(page), shown.path("wide.pdf"), "-"});
            QVERIFY2(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)), qPrintable(text));
            QVERIFY2(text.contains("Quay") && text.contains("Submitted / Bill") && text.contains("Unit price"), qPrintable(text));
            all += text;
        }
        for (int child = 1; child <= 300; ++child) // every row once, none cut between pages
            QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\b1\\.%1\\s").arg(child))), 1);

        Shown folded(threeLevels);
        QVERIFY(TablePrinter::writePdf(folded.table(), folded.path("folded.pdf"), &folded.error));
        const QString text = run("pdftotext", {"-layout", folded.path("folded.pdf"), "-"});
        QVERIFY2(text.contains(QRegularExpression("1\\.1\\s+Folded\\s+27\\.00")), qPrintable(text)); // the fold's one row, with its total
        QVERIFY2(!text.contains("1.1.1") && text.contains("Priced note"), qPrintable(text));
    }

    void headlessExport_data()
    {
        QTest::addColumn<QStringList>("arguments"); // OUT: the output in the scratch folder
        QTest::addColumn<bool>("written");
        QTest::newRow("workbook of the grid") << QStringList{"--export", "OUT/bill.xlsx", "--tab", "grid"} << true;
        QTest::newRow("PDF") << QStringList{"--export", "OUT/bill.pdf"} << true;
        QTest::newRow("CSV of the flat list") << QStringList{"--export", "OUT/bill.csv", "--tab", "flat"} << true;
        QTest::newRow("no such tab") << QStringList{"--export", "OUT/bill.xlsx", "--tab", "sheet"} << false;
        QTest::newRow("no such folder") << QStringList{"--export", "OUT/missing/bill.pdf"} << false;
        QTest::newRow("unknown format") << QStringList{"--export", "OUT/bill.ods"} << false;
        QTest::newRow("missing estimate") << QStringList{"OUT/missing.json", "--export", "OUT/bill.xlsx"} << false;
    }
    void headlessExport()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, written);
        QTemporaryDir dir;
        arguments.replaceInStrings("OUT", dir.path());
        QProcess viewer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", dir.path()); // its own settings
        viewer.setProcessEnvironment(environment);
        viewer.start(VIEWER_PATH, arguments);
        QVERIFY(viewer.waitForFinished(120000));
        QCOMPARE(viewer.exitCode() == 0, written);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files, written ? QStringList{QFileInfo(arguments.at(1)).fileName()} : QStringList()); // nothing partial left
        if (!written)
            QVERIFY(!viewer.readAllStandardError().trimmed().isEmpty());
    }

    void workbookInPlaceOfAFolderIsRefused()
    {
        Shown shown(threeLevels);
        QVERIFY(QDir(shown.dir.path()).mkdir("bill.xlsx"));
        QVERIFY(!WorkbookExport::write(shown.table(), shown.path("bill.xlsx"), &shown.error));
        QCOMPARE(QDir(shown.dir.path()).entryList(QDir::Files), QStringList()); // the temporary file went too
        QVERIFY(shown.error.contains("bill.xlsx"));
    }
};

QTEST_MAIN(tst_EstimateExport)
#include "tst_EstimateExport.moc"
