// The viewer as a person starts it: on the bundled sample, rendered offscreen.
#include <BaseDataItemModel.h>
#include <GridTab.h>
#include <GridView.h>
#include <TreeTab.h>
#include <ViewerWindow.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QImage>
#include <QProcess>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

class tst_EstimateViewer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rendersEveryTab_data();
    void rendersEveryTab();
    void refusesMalformedFileWithItsName();
    void failedOpenKeepsTheEstimateShown();
    void deletedRowsLeaveEveryTab();
    void foldInOneTabShowsInEveryTab_data();
    void foldInOneTabShowsInEveryTab();
    void worksOnTheShownRowsWhileTheNextEstimateLoads();
};

namespace {
int runViewer(const QStringList& arguments, QByteArray* errors = nullptr)
{
    QProcess viewer;
    viewer.start(QStringLiteral(VIEWER_PATH), arguments);
    if (!viewer.waitForFinished(120000))
        return -1;
    if (errors)
        *errors = viewer.readAllStandardError();
    return viewer.exitStatus() == QProcess::NormalExit ? viewer.exitCode() : -1;
}

int positionOfCode(const QList<BaseDataItem*>& rows, const QString& code)
{
    for (int position = 0; position < rows.size(); ++position) {
        if (rows.at(position)->getValue(EstimateField::Code).toString() == code)
            return position;
    }
    return -1;
}

// How a view shows subsection 1.1 and its first item: "folded, 1.1.1 hidden; " or "unfolded, 1.1.1 shown; ".
QString foldState(bool folded, bool itemShown)
{
    return QStringLiteral("%1, 1.1.1 %2; ").arg(folded ? "folded" : "unfolded", itemShown ? "shown" : "hidden");
}

QString foldState(TreeTab* tree)
{
    zTreeItemModel* model = tree->model();
    const QList<BaseDataItem*>& rows = *model->GetBindSrcData();
    const QModelIndex subsection = model->index(model->findVirtualIndexByItem(rows.at(positionOfCode(rows, "1.1"))), 1);
    return foldState(!subsection.data(zTreeItemModel::TreeExpandedRole).toBool(), model->findVirtualIndexByItem(rows.at(positionOfCode(rows, "1.1.1"))) >= 0);
}

// A grid also names every row it hides or shows against the row's visible flag.
QString foldState(Qtitan::GridView* grid)
{
    auto* model = static_cast<BaseDataItemModel*>(grid->model());
    QString wrongRows;
    for (int row = 0; row < model->rowCount(); ++row)
        wrongRows += grid->isRowHidden(row) == model->isVisible(row) ? QStringLiteral("row %1 wrong; ").arg(row) : QString();
    return foldState(model->getFold(positionOfCode(*model->All(), "1.1")), !grid->isRowHidden(positionOfCode(*model->All(), "1.1.1"))) + wrongRows;
}

// Real clicks on the button of 1.1 (level 1; tree display style 1, or the grid's) and on a tab.
void clickButtonOf11(QTableView* view, int shownRow, bool tree)
{
    const QRect cell = view->visualRect(view->model()->index(shownRow, 1));
    const int slotWidth = qMax(ZTVModeOption().treeNodeSize.width() + 8, 16);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + (tree ? slotWidth * 3 / 2 : 18 + 9), cell.center().y()));
    QCoreApplication::processEvents(); // the tree's node click arrives queued
}

void clickTab(QTabWidget* tabs, QWidget* page)
{
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tabs->indexOf(page)).center());
    QCOMPARE(tabs->currentWidget(), page);
}

// A blank render is one colour; a table of an estimate has many.
int distinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}
}

void tst_EstimateViewer::rendersEveryTab_data()
{
    QTest::addColumn<QString>("tab");
    for (const char* tab : {"tree", "grid", "audit", "flat"})
        QTest::newRow(tab) << tab;
}

void tst_EstimateViewer::rendersEveryTab()
{
    QFETCH(QString, tab);
    QTemporaryDir dir;
    const QString shot = dir.filePath(tab + ".png");
    QCOMPARE(runViewer({"--screenshot", shot, "--tab", tab}), 0);
    const QImage image(shot);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 800 && image.height() >= 500);
    QVERIFY2(distinctColours(image) > 20, qPrintable(QString::number(distinctColours(image))));
}

void tst_EstimateViewer::refusesMalformedFileWithItsName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.json");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"format\": \"itemviews-estimate\", \"works\": [");
    file.close();
    QByteArray errors;
    QCOMPARE(runViewer({path, "--screenshot", dir.filePath("x.png")}, &errors), 1);
    QVERIFY2(errors.contains(path.toUtf8() + ": line 1"), errors.constData());
    QVERIFY(!QFile::exists(dir.filePath("x.png")));
}

void tst_EstimateViewer::failedOpenKeepsTheEstimateShown()
{
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(200);
    QVERIFY(finished.wait(20000));
    Estimate* shown = window.estimate();
    QVERIFY(shown);

    window.openFile("/nonexistent/site.json");
    QVERIFY(finished.wait(20000));
    QVERIFY(finished.last().at(0).toString().startsWith("/nonexistent/site.json: cannot open"));
    QCOMPARE(window.estimate(), shown);
}

void tst_EstimateViewer::deletedRowsLeaveEveryTab()
{
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(300);
    QVERIFY(finished.wait(20000));
    Estimate::Table& submitted = *window.estimate()->works.front()->tables.front();
    const int rowsBefore = submitted.rows.size();
    BaseDataItem* section = submitted.rows.first();
    const int doomed = 1 + section->getChildrenItemCount();

    TreeTab* tree = window.findChild<TreeTab*>();
    tree->deleteRow(tree->model()->index(0, 1));
    QCOMPARE(submitted.rows.size(), rowsBefore - doomed);
    // Every tab paints the rows left, and the audit service no longer pairs the destroyed ones
    // (under the sanitizers a stale row anywhere is a use after free).
    QString error;
    QTemporaryDir dir;
    QVERIFY2(window.saveScreenshots(dir.filePath("after.png"), QString(), &error), qPrintable(error));
    bool related = true;
    window.estimate()->audit->GetRelationItem(window.estimate()->works.at(1)->tables.front()->rows.first(), related);
    QVERIFY(!related);
}

void tst_EstimateViewer::foldInOneTabShowsInEveryTab_data()
{
    QTest::addColumn<QString>("foldedIn");
    QTest::newRow("collapse in the tree") << "tree";
    QTest::newRow("fold in the grid") << "grid";
    QTest::newRow("fold on the audit's reviewed side") << "reviewed";
}

void tst_EstimateViewer::foldInOneTabShowsInEveryTab()
{
    QFETCH(QString, foldedIn);
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(300);
    QVERIFY(finished.wait(20000));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* tabs = window.findChild<QTabWidget*>();
    auto* tree = window.findChild<TreeTab*>();
    auto* gridTab = window.findChild<GridTab*>();
    auto* grid = gridTab->findChild<Qtitan::GridView*>();
    auto* auditTab = window.findChild<AuditTab*>();
    QList<Qtitan::GridView*> sides = auditTab->findChildren<Qtitan::GridView*>();
    if (static_cast<BaseDataItemModel*>(sides.at(0)->model())->All() != tree->model()->GetBindSrcData())
        sides.swapItemsAt(0, 1); // submitted first: the side with the tree's rows
    const auto everyTab = [&] {
        clickTab(tabs, tree);
        QString states = foldState(tree);
        clickTab(tabs, gridTab);
        states += foldState(grid);
        clickTab(tabs, auditTab);
        return states + foldState(sides.at(0)) + foldState(sides.at(1));
    };
    const int row11 = positionOfCode(*tree->model()->GetBindSrcData(), "1.1"); // shown at the same row everywhere
    const bool inTree = foldedIn == "tree", inGrid = foldedIn == "grid";

    clickTab(tabs, inTree ? static_cast<QWidget*>(tree) : inGrid ? static_cast<QWidget*>(gridTab) : auditTab);
    clickButtonOf11(inTree ? static_cast<QTableView*>(tree->view()) : inGrid ? grid : sides.at(1), row11, inTree);
    QCOMPARE(everyTab(), foldState(true, false).repeated(4));
    clickTab(tabs, gridTab);
    clickButtonOf11(grid, row11, false); // one click unfolds, everywhere
    QCOMPARE(everyTab(), foldState(false, true).repeated(4));
}

// Rows are built on the worker while the GUI checks a section and paints the rows shown; under
// ThreadSanitizer (scripts/test.sh --tsan) any state the two share without a lock is reported here.
void tst_EstimateViewer::worksOnTheShownRowsWhileTheNextEstimateLoads()
{
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(300);
    QVERIFY(finished.wait(20000));
    Estimate* shown = window.estimate();
    TreeTab* tree = window.findChild<TreeTab*>();
    tree->setDisplay(1, true);

    window.generate(5000);
    QVERIFY(tree->model()->setData(tree->model()->index(0, 1), Qt::Checked, Qt::CheckStateRole));
    QString error;
    QTemporaryDir dir;
    QVERIFY2(window.saveScreenshots(dir.filePath("during.png"), QString(), &error), qPrintable(error));
    QVERIFY(finished.count() == 2 || finished.wait(20000));
    QVERIFY(window.estimate() != shown);
    QVERIFY(window.estimate()->rowCount() >= 5000);
}

QTEST_MAIN(tst_EstimateViewer)
#include "tst_EstimateViewer.moc"
