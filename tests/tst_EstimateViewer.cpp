// The viewer as a person starts it: on the bundled sample, rendered offscreen.
#include <BaseDataItemModel.h>
#include <CsvExport.h>
#include <EstimateColumns.h>
#include <EstimateEditor.h>
#include <EstimateGenerator.h>
#include <EstimateJson.h>
#include <FindBar.h>
#include <GridTab.h>
#include <GridView.h>
#include <TreeTab.h>
#include <ViewerWindow.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QImage>
#include <QActionGroup>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <cmath>

class tst_EstimateViewer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rendersEveryTab_data();
    void rendersEveryTab();
    void refusesMalformedFileWithItsName();
    void failedOpenKeepsTheEstimateShown_data();
    void failedOpenKeepsTheEstimateShown();
    void deletedRowsLeaveEveryTab();
    void insertUnderStopsAtTheDeepestLevelAFileHolds();
    void nonFiniteNumbersAreRefused_data();
    void nonFiniteNumbersAreRefused();
    void foldsChildFirstTableInPreOrder();
    void foldInOneTabShowsInEveryTab_data();
    void foldInOneTabShowsInEveryTab();
    void editRollsUpInEveryView_data();
    void editRollsUpInEveryView();
    void refusesValues_data();
    void refusesValues();
    void structureUndoes_data();
    void structureUndoes();
    void unsavedChangesAsk_data();
    void unsavedChangesAsk();
    void remembersLayout_data();
    void remembersLayout();
    void showsEveryTotalWhole_data();
    void showsEveryTotalWhole();
    void findsAndReveals_data();
    void findsAndReveals();
    void exportsShownTable_data();
    void exportsShownTable();
    void worksOnTheShownRowsWhileTheNextEstimateLoads();
};

namespace {
int runViewer(const QStringList& arguments, QByteArray* errors = nullptr)
{
    QProcess viewer;
    QTemporaryDir settingsHome; // the viewer's own settings, never the user's
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", settingsHome.path());
    viewer.setProcessEnvironment(environment);
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

void tst_EstimateViewer::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
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

void tst_EstimateViewer::failedOpenKeepsTheEstimateShown_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("missing file") << false << "/nonexistent/site.json: cannot open";
    QTest::newRow("load cancelled part-way") << true << "cancelled";
}

void tst_EstimateViewer::failedOpenKeepsTheEstimateShown()
{
    QFETCH(bool, cancel);
    QFETCH(QString, expectedError);
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(200);
    QVERIFY(finished.wait(20000));
    Estimate* shown = window.estimate();
    QVERIFY(shown);
    const int shownRows = static_cast<QAbstractItemModel*>(window.findChild<TreeTab*>()->model())->rowCount();
    QTemporaryDir dir;
    QString path = "/nonexistent/site.json";
    if (cancel) { // large enough that the load is still reading when the cancel comes
        path = dir.filePath("large.json");
        QString error;
        QVERIFY2(EstimateJson::write(*EstimateGenerator::generate(20000), path, &error), qPrintable(error));
    }

    window.openFile(path);
    if (cancel)
        window.cancelLoad();
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.last().at(0).toString().startsWith(expectedError), qPrintable(finished.last().at(0).toString()));
    QCOMPARE(window.estimate(), shown);
    QCOMPARE(static_cast<QAbstractItemModel*>(window.findChild<TreeTab*>()->model())->rowCount(), shownRows);
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

void tst_EstimateViewer::insertUnderStopsAtTheDeepestLevelAFileHolds()
{
    QByteArray chain = R"({"id": 0, "type": "item"})";
    for (int level = 1; level < EstimateJson::maxLevels; ++level)
        chain += QStringLiteral(R"(, {"id": %1, "parent": %2, "type": "item"})").arg(level).arg(level - 1).toUtf8();
    QString error;
    auto estimate = EstimateJson::parse(R"({"format": "itemviews-estimate", "works": [{"nodeId": 1, "tables": [{"tableType": 1001, "rows": [)"
                                            + chain + "]}]}]}",
                                        "deep.json", &error);
    QVERIFY2(estimate, qPrintable(error));
    Estimate::Table& table = *estimate->works.front()->tables.front();
    EstimateEditor editor;
    editor.setEstimate(estimate.get());
    TreeTab tab;
    tab.setEditor(&editor);
    tab.setTable(&table);
    const int deepest = EstimateJson::maxLevels - 1;

    QVERIFY(!tab.insertRowUnder(tab.model()->index(deepest, 1)));
    QCOMPARE(table.rows.size(), EstimateJson::maxLevels);
    QVERIFY(tab.insertRowUnder(tab.model()->index(deepest - 1, 1)));
    QCOMPARE(table.rows.size(), EstimateJson::maxLevels + 1);
    QVERIFY2(EstimateJson::parse(EstimateJson::serialize(*estimate, &error), "deep.json", &error), qPrintable(error));
}

namespace {
// A shown, active window on a generated estimate (shortcuts need an active window).
struct ShownViewer
{
    explicit ShownViewer(int rows = 300)
    {
        window.setProperty("headless", true);
        QSignalSpy finished(&window, &ViewerWindow::loadFinished);
        window.generate(rows);
        finished.wait(120000); // a large estimate under the sanitizers takes a while
        window.show();
        QApplication::setActiveWindow(&window);
    }
    Estimate::Table& table(bool reviewed) const { return *window.estimate()->works.at(reviewed ? 1 : 0)->tables.front(); }
    QAbstractItemView* view(const QString& name) { return window.findChild<QAbstractItemView*>(name); }
    QByteArray saved() const { return EstimateJson::serialize(*window.estimate()); }
    ViewerWindow window;
};

int columnOf(int field)
{
    for (int column = 0; column < EstimateColumns::all().size(); ++column) {
        if (EstimateColumns::all().at(column).field == field)
            return column;
    }
    return -1;
}

// The view's index of a row (found by its code) in a column.
QModelIndex indexOf(QAbstractItemView* view, BaseDataItem* row, int field)
{
    const QString code = row->getValue(EstimateField::Code).toString();
    QAbstractItemModel* model = view->model();
    for (int viewRow = 0; viewRow < model->rowCount(); ++viewRow) {
        if (model->index(viewRow, columnOf(EstimateField::Code)).data().toString() == code)
            return model->index(viewRow, columnOf(field));
    }
    return {};
}

BaseDataItem* firstPricedLeaf(const Estimate::Table& table, int rowType)
{
    for (BaseDataItem* row : table.rows) {
        if (row->getRowType() == rowType && row->getChildrenCount() == 0 && row->getValue(EstimateField::Quantity).isValid())
            return row;
    }
    return nullptr;
}

// F2, select all, type, Enter: what a person does to change a cell.
void typeInto(QAbstractItemView* view, const QModelIndex& index, const QString& text)
{
    view->setCurrentIndex(index);
    QTest::keyClick(view, Qt::Key_F2);
    QWidget* editor = view->indexWidget(index);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits on a queued call
}

double total(BaseDataItem* row)
{
    return row->getValue(EstimateField::Total).toDouble();
}

// Every row above the given one totals its children (notes and subtotals aside), and its subtotals repeat that.
QString chainMismatch(BaseDataItem* row)
{
    for (BaseDataItem* parent = row->getParent(); parent; parent = parent->getParent()) {
        double sum = 0;
        for (BaseDataItem* child : parent->getBaseDataItemlist()) {
            if (child->getRowType() != EstimateRowType::Note && child->getRowType() != EstimateRowType::Subtotal)
                sum += total(child);
        }
        for (BaseDataItem* child : parent->getBaseDataItemlist()) {
            if (child->getRowType() == EstimateRowType::Subtotal && std::abs(total(child) - sum) > 1e-6)
                return "subtotal under " + parent->getValue(EstimateField::Code).toString();
        }
        if (std::abs(total(parent) - sum) > 1e-6)
            return parent->getValue(EstimateField::Code).toString() + ": " + QString::number(total(parent)) + " != " + QString::number(sum);
    }
    return {};
}

bool hasDifferenceColour(QAbstractItemView* view, BaseDataItem* row, int field)
{
    constexpr int AuditDifferenceRole = 487;
    return indexOf(view, row, field).data(AuditDifferenceRole).userType() != QMetaType::QString;
}

void pressShortcut(ViewerWindow& window, const QKeySequence& keys)
{
    QTest::keySequence(&window, keys);
}
} // namespace

void tst_EstimateViewer::editRollsUpInEveryView_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<int>("rowType");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("tree: sub-item quantity") << "treeView" << int(EstimateRowType::SubItem) << int(EstimateField::Quantity) << "12.5";
    QTest::newRow("tree: item unit price") << "treeView" << int(EstimateRowType::Item) << int(EstimateField::UnitPrice) << "3.25";
    QTest::newRow("flat: sub-item unit price") << "flatView" << int(EstimateRowType::SubItem) << int(EstimateField::UnitPrice) << "1000";
    QTest::newRow("grid: item quantity") << "gridView" << int(EstimateRowType::Item) << int(EstimateField::Quantity) << "0";
    QTest::newRow("audit submitted: sub-item quantity") << "submittedGrid" << int(EstimateRowType::SubItem) << int(EstimateField::Quantity) << "77";
    QTest::newRow("audit reviewed: item quantity") << "reviewedGrid" << int(EstimateRowType::Item) << int(EstimateField::Quantity) << "5.5";
}

void tst_EstimateViewer::editRollsUpInEveryView()
{
    QFETCH(QString, viewName);
    QFETCH(int, rowType);
    QFETCH(int, field);
    QFETCH(QString, typed);
    ShownViewer viewer;
    const bool reviewed = viewName == "reviewedGrid";
    BaseDataItem* row = firstPricedLeaf(viewer.table(reviewed), rowType);
    QVERIFY(row);
    const QByteArray before = viewer.saved();

    typeInto(viewer.view(viewName), indexOf(viewer.view(viewName), row, field), typed);
    QCOMPARE(row->getValue(field).toDouble(), typed.toDouble());
    QCOMPARE(total(row), row->getValue(EstimateField::Quantity).toDouble() * row->getValue(EstimateField::UnitPrice).toDouble());
    QCOMPARE(chainMismatch(row), QString());
    BaseDataItem* section = row;
    while (section->getParent())
        section = section->getParent();
    const QStringList showing = reviewed ? QStringList{"reviewedGrid"} : QStringList{"treeView", "flatView", "gridView", "submittedGrid"};
    for (const QString& name : showing)
        QCOMPARE(indexOf(viewer.view(name), section, EstimateField::Total).data().toString(), EstimateColumns::formatNumber(total(section)));
    bool related = false;
    BaseDataItem* counterpart = viewer.window.estimate()->audit->GetRelationItem(row, related);
    QVERIFY(related);
    QCOMPARE(hasDifferenceColour(viewer.view(reviewed ? "reviewedGrid" : "submittedGrid"), row, EstimateField::Total),
             total(row) != total(counterpart));
    QVERIFY(viewer.window.isWindowModified());
    const QByteArray after = viewer.saved();

    pressShortcut(viewer.window, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QVERIFY(viewer.saved() == before);
    QVERIFY(!viewer.window.isWindowModified());
    pressShortcut(viewer.window, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QVERIFY(viewer.saved() == after);
}

void tst_EstimateViewer::refusesValues_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("tree: nan") << "treeView" << int(EstimateField::Quantity) << "nan";
    QTest::newRow("flat: inf") << "flatView" << int(EstimateField::UnitPrice) << "inf";
    QTest::newRow("grid: words") << "gridView" << int(EstimateField::Quantity) << "twelve";
    QTest::newRow("audit: product overflows") << "submittedGrid" << int(EstimateField::Quantity) << "1e308";
    QTest::newRow("grid: the total is computed") << "gridView" << int(EstimateField::Total) << "5";
}

void tst_EstimateViewer::refusesValues()
{
    QFETCH(QString, viewName);
    QFETCH(int, field);
    QFETCH(QString, typed);
    ShownViewer viewer;
    BaseDataItem* row = firstPricedLeaf(viewer.table(false), EstimateRowType::Item);
    const QByteArray before = viewer.saved();
    QAbstractItemView* view = viewer.view(viewName);
    QVERIFY(!view->model()->setData(indexOf(view, row, field), typed, Qt::EditRole));
    QVERIFY(viewer.saved() == before);
    QCOMPARE(viewer.window.editor()->undoStack()->count(), 0);
}

void tst_EstimateViewer::structureUndoes_data()
{
    QTest::addColumn<int>("rowType");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("rowsAdded");
    QTest::newRow("Delete on a sub-section") << int(EstimateRowType::SubSection) << int(Qt::Key_Delete) << -1;
    QTest::newRow("Delete on a sub-item") << int(EstimateRowType::SubItem) << int(Qt::Key_Delete) << -1;
    QTest::newRow("Delete on a section") << int(EstimateRowType::Section) << int(Qt::Key_Delete) << -1;
    QTest::newRow("Insert after an item") << int(EstimateRowType::Item) << int(Qt::Key_Insert) << 1;
}

void tst_EstimateViewer::structureUndoes()
{
    QFETCH(int, rowType);
    QFETCH(int, key);
    QFETCH(int, rowsAdded);
    ShownViewer viewer;
    Estimate::Table& table = viewer.table(false);
    BaseDataItem* row = *std::find_if(table.rows.cbegin(), table.rows.cend(), [rowType](BaseDataItem* candidate) {
        return candidate->getRowType() == rowType;
    });
    BaseDataItem* parent = row->getParent();
    const int changedRows = rowsAdded < 0 ? -1 - row->getChildrenItemCount() : rowsAdded;
    const int rowsBefore = table.rows.size();
    const QByteArray before = viewer.saved();
    QAbstractItemView* tree = viewer.view("treeView");
    tree->setCurrentIndex(indexOf(tree, row, EstimateField::Name));
    QTest::keyClick(tree, Qt::Key(key));
    QCOMPARE(table.rows.size(), rowsBefore + changedRows);
    QCOMPARE(viewer.view("gridView")->model()->rowCount(), table.rows.size());
    if (parent)
        QCOMPARE(chainMismatch(parent->getBaseDataItemlist().first()), QString());
    const QByteArray after = viewer.saved();

    pressShortcut(viewer.window, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QVERIFY(viewer.saved() == before);
    QCOMPARE(viewer.view("treeView")->model()->rowCount(), rowsBefore);
    bool related = false;
    viewer.window.estimate()->audit->GetRelationItem(row, related);
    QVERIFY(related);
    pressShortcut(viewer.window, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QVERIFY(viewer.saved() == after);
}

void tst_EstimateViewer::unsavedChangesAsk_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("goesOn");
    QTest::newRow("close, Cancel") << "close" << int(QMessageBox::Cancel) << false;
    QTest::newRow("close, Discard") << "close" << int(QMessageBox::Discard) << true;
    QTest::newRow("close, Save") << "close" << int(QMessageBox::Save) << true;
    QTest::newRow("open the sample, Cancel") << "Open the &sample" << int(QMessageBox::Cancel) << false;
    QTest::newRow("open the sample, Discard") << "Open the &sample" << int(QMessageBox::Discard) << true;
}

void tst_EstimateViewer::unsavedChangesAsk()
{
    QFETCH(QString, action);
    QFETCH(int, answer);
    QFETCH(bool, goesOn);
    ShownViewer viewer;
    QTemporaryDir dir;
    QString error;
    QVERIFY(viewer.window.saveTo(dir.filePath("site.json"), &error));
    QAbstractItemView* grid = viewer.view("gridView");
    QVERIFY(grid->model()->setData(indexOf(grid, firstPricedLeaf(viewer.table(false), EstimateRowType::Item), EstimateField::Quantity), 3.0));
    QVERIFY(viewer.window.isWindowModified());
    QSignalSpy loads(&viewer.window, &ViewerWindow::loadFinished);
    QTimer::singleShot(0, [answer] { // the question is modal: answer it from inside its event loop
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    if (action == "close") {
        QCOMPARE(viewer.window.close(), goesOn);
    } else {
        QAction* open = nullptr;
        for (QAction* candidate : viewer.window.menuBar()->findChildren<QAction*>())
            open = candidate->text() == action ? candidate : open;
        QVERIFY(open);
        open->trigger();
        QCOMPARE(goesOn ? loads.wait(20000) : loads.isEmpty(), true); // a load, once started, always reports
    }
    QCOMPARE(viewer.window.isVisible(), action != "close" || !goesOn);
    QCOMPARE(viewer.window.isWindowModified(), answer != QMessageBox::Save);
}

void tst_EstimateViewer::remembersLayout_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("style");
    QTest::newRow("tree, dotted text nodes") << "treeView" << 0 << 2;
    QTest::newRow("grid, no lines") << "gridView" << 1 << 0;
    QTest::newRow("audit reviewed side, no indentation") << "reviewedGrid" << 2 << 3;
    QTest::newRow("flat list, solid lines") << "flatView" << 3 << 1;
}

void tst_EstimateViewer::remembersLayout()
{
    QFETCH(QString, viewName);
    QFETCH(int, tab);
    QFETCH(int, style);
    const QRect geometry(40, 50, 1000, 700);
    {
        ShownViewer viewer;
        viewer.window.setGeometry(geometry);
        qobject_cast<QTableView*>(viewer.view(viewName))->horizontalHeader()->resizeSection(5, 223);
        viewer.window.findChild<QTabWidget*>()->setCurrentIndex(tab);
        viewer.window.findChild<QActionGroup*>()->actions().at(style)->trigger();
        QVERIFY(viewer.window.close());
    }
    ShownViewer viewer;
    QCOMPARE(qobject_cast<QTableView*>(viewer.view(viewName))->horizontalHeader()->sectionSize(5), 223);
    QCOMPARE(viewer.window.findChild<QTabWidget*>()->currentIndex(), tab);
    QVERIFY(viewer.window.findChild<QActionGroup*>()->actions().at(style)->isChecked());
    QCOMPARE(viewer.window.size(), geometry.size());
}

void tst_EstimateViewer::showsEveryTotalWhole_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<double>("storedTotal"); // of both works' first sections, saved and opened again; 0: as generated
    for (const char* name : {"treeView", "gridView", "submittedGrid", "reviewedGrid", "flatView"}) {
        QTest::addRow("%s", name) << name << 0.0;
        QTest::addRow("%s, a total of hundreds of billions", name) << name << 123456789012.34;
    }
}

// The first section's total, the largest of an estimate, fits its column in the one format.
void tst_EstimateViewer::showsEveryTotalWhole()
{
    QFETCH(QString, viewName);
    QFETCH(double, storedTotal);
    QSettings().clear();
    ShownViewer viewer;
    if (storedTotal != 0) {
        QTemporaryDir dir;
        QString error;
        for (bool reviewed : {false, true})
            viewer.table(reviewed).rows.front()->setValue(EstimateField::Total, storedTotal);
        QVERIFY2(EstimateJson::write(*viewer.window.estimate(), dir.filePath("large.json"), &error), qPrintable(error));
        QSignalSpy finished(&viewer.window, &ViewerWindow::loadFinished);
        viewer.window.openFile(dir.filePath("large.json"));
        QVERIFY(finished.wait(120000));
    }
    auto* view = qobject_cast<QTableView*>(viewer.view(viewName));
    const QModelIndex largest = view->model()->index(0, columnOf(EstimateField::Total));
    const QString shown = largest.data().toString();
    QVERIFY2(shown.contains(',') && shown.contains('.') && shown.size() - shown.indexOf('.') == 3, qPrintable(shown));
    QCOMPARE(largest.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    const int room = view->horizontalHeader()->sectionSize(largest.column()) - 8;
    QVERIFY2(view->fontMetrics().horizontalAdvance(EstimateColumns::formatNumber(999999999.99)) <= room, qPrintable(shown));
    QVERIFY2(view->fontMetrics().horizontalAdvance(shown) <= room, qPrintable(shown));
}

void tst_EstimateViewer::findsAndReveals_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keys"); // after the text: Enter, F3 or Shift+F3, space-separated
    QTest::addColumn<int>("expectedMatch"); // 1-based; 0 when nothing matches
    QTest::newRow("tree: Enter twice, in collapsed sections") << "treeView" << 0 << "FORMWORK" << "Enter Enter" << 2;
    QTest::newRow("tree: Shift+F3 first wraps to the last") << "treeView" << 0 << "screed" << "Shift+F3" << -1;
    QTest::newRow("grid: F3 after Enter, in folded sections") << "gridView" << 1 << "Steel" << "Enter F3" << 2;
    QTest::newRow("grid: code substring") << "gridView" << 1 << "2.1.1" << "Enter" << 1;
    QTest::newRow("audit: the reviewed side has focus") << "reviewedGrid" << 2 << "manhole" << "Enter Enter Shift+F3" << 1;
    QTest::newRow("audit: the submitted side has focus") << "submittedGrid" << 2 << "paint" << "F3" << 1;
    QTest::newRow("flat: around the end") << "flatView" << 3 << "cable" << "Shift+F3 F3" << 1;
    QTest::newRow("nothing matches") << "flatView" << 3 << "no such row" << "Enter" << 0;
    QTest::newRow("large estimate: counted while the window serves events") << "flatView" << 3 << "steel" << "Enter F3" << 2;
}

void tst_EstimateViewer::findsAndReveals()
{
    QFETCH(QString, viewName);
    QFETCH(int, tab);
    QFETCH(QString, text);
    QFETCH(QString, keys);
    QFETCH(int, expectedMatch);
    const bool large = QByteArray(QTest::currentDataTag()).startsWith("large");
    ShownViewer viewer(large ? 80000 : 300);
    viewer.window.findChild<QTabWidget*>()->setCurrentIndex(tab);
    QAbstractItemView* view = viewer.view(viewName);
    const Estimate::Table& table = viewer.table(viewName == "reviewedGrid");
    QList<BaseDataItem*> matches; // code or description, case aside
    for (BaseDataItem* row : table.rows) {
        const QString both = row->getValue(EstimateField::Code).toString() + '\n' + row->getValue(EstimateField::Name).toString();
        if (both.toLower().contains(text.toLower()))
            matches.append(row);
    }
    for (BaseDataItem* row : table.rows) { // every section collapsed or folded
        if (!row->getParent() && qobject_cast<Qtitan::GridView*>(view))
            qobject_cast<Qtitan::GridView*>(view)->setRowFolded(table.rows.indexOf(row), true);
        else if (!row->getParent() && viewName == "treeView")
            view->model()->setData(indexOf(view, row, EstimateField::Name), false, zTreeItemModel::TreeExpandedRole);
    }
    view->setFocus();
    pressShortcut(viewer.window, QKeySequence(Qt::CTRL | Qt::Key_F));
    QTest::keyClicks(viewer.window.findBar()->field(), text);
    for (const QString& key : keys.split(' ')) {
        if (key == "Enter")
            QTest::keyClick(viewer.window.findBar()->field(), Qt::Key_Return);
        else
            pressShortcut(viewer.window, QKeySequence(key));
    }
    QCOMPARE(viewer.window.findBar()->isSearching(), large);
    QCOMPARE(viewer.window.findBar()->status().endsWith(QChar(0x2026)), large); // "2 of 17…" while counting
    while (viewer.window.findBar()->isSearching())
        QCoreApplication::processEvents();
    if (expectedMatch == 0) {
        QCOMPARE(viewer.window.findBar()->status(), QString("No matches"));
        return;
    }
    const int position = expectedMatch > 0 ? expectedMatch : matches.size() + 1 + expectedMatch;
    QCOMPARE(viewer.window.findBar()->status(), QString("%L1 of %L2").arg(position).arg(matches.size()));
    BaseDataItem* found = matches.at(position - 1);
    QCOMPARE(view->currentIndex().row(), indexOf(view, found, EstimateField::Name).row());
    QVERIFY(!qobject_cast<QTableView*>(view)->isRowHidden(view->currentIndex().row()));
    for (BaseDataItem* ancestor = found->getParent(); ancestor; ancestor = ancestor->getParent())
        QVERIFY(ancestor->getExpanded());
}

void tst_EstimateViewer::exportsShownTable_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("hide"); // "section": collapse or fold the first section; "unit": hide that column
    QTest::newRow("tree, first section collapsed") << "treeView" << 0 << "section";
    QTest::newRow("grid, first section folded") << "gridView" << 1 << "section";
    QTest::newRow("audit reviewed side, unit column hidden") << "reviewedGrid" << 2 << "unit";
    QTest::newRow("flat list, unit column hidden") << "flatView" << 3 << "unit";
}

void tst_EstimateViewer::exportsShownTable()
{
    QFETCH(QString, viewName);
    QFETCH(int, tab);
    QFETCH(QString, hide);
    ShownViewer viewer;
    viewer.window.findChild<QTabWidget*>()->setCurrentIndex(tab);
    auto* view = qobject_cast<QTableView*>(viewer.view(viewName));
    view->setFocus();
    const Estimate::Table& table = viewer.table(viewName == "reviewedGrid");
    BaseDataItem* section = table.rows.first();
    BaseDataItem* named = table.rows.at(1);
    QVERIFY(view->model()->setData(indexOf(view, named, EstimateField::Name), "Formwork, \"special\" Ü"));
    if (hide == "unit")
        view->setColumnHidden(columnOf(EstimateField::Unit), true);
    else if (auto* grid = qobject_cast<Qtitan::GridView*>(view))
        grid->setRowFolded(0, true);
    else
        view->model()->setData(indexOf(view, section, EstimateField::Name), false, zTreeItemModel::TreeExpandedRole);
    int shownRows = 0;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        shownRows += view->isRowHidden(row) ? 0 : 1;
    QVERIFY(shownRows < table.rows.size() || hide == "unit");

    QTemporaryDir dir;
    QString error;
    QCOMPARE(viewer.window.currentTable(), view);
    QVERIFY2(CsvExport::write(*view, dir.filePath("table.csv"), &error), qPrintable(error));
    QFile file(dir.filePath("table.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(file.readAll());
    QStringList lines = csv.split("\r\n");
    QCOMPARE(lines.takeLast(), QString()); // every line ends in CRLF
    QCOMPARE(lines.size(), 1 + shownRows);
    QCOMPARE(lines.first(), hide == "unit" ? "Code,Description,Quantity,Unit price,Total" : "Code,Description,Unit,Quantity,Unit price,Total");
    const QString sectionTotal = QString::number(section->getValue(EstimateField::Total).toDouble(), 'g', QLocale::FloatingPointShortest);
    QVERIFY2(lines.at(1).endsWith("," + sectionTotal), qPrintable(lines.at(1)));
    QCOMPARE(csv.contains(",\"Formwork, \"\"special\"\" Ü\","), hide == "unit");
}

void tst_EstimateViewer::nonFiniteNumbersAreRefused_data()
{
    QTest::addColumn<QString>("unitPrice");
    QTest::addColumn<QString>("quantity");
    QTest::newRow("typed nan") << "2" << "nan";
    QTest::newRow("typed inf") << "2" << "inf";
    QTest::newRow("typed -inf") << "2" << "-inf";
    QTest::newRow("quantity x price overflows to inf") << "1e200" << "1e200";
}

void tst_EstimateViewer::nonFiniteNumbersAreRefused()
{
    QFETCH(QString, unitPrice);
    QFETCH(QString, quantity);
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.generate(200);
    QVERIFY(finished.wait(20000));
    zTreeItemModel* model = window.findChild<TreeTab*>()->model();
    const int quantityColumn = 3;
    int row = 0;
    while (!model->findItemByIndex(model->index(row, 0))->getValue(EstimateField::Quantity).isValid())
        ++row;
    BaseDataItem* item = model->findItemByIndex(model->index(row, 0));
    QVERIFY(model->setData(model->index(row, quantityColumn + 1), unitPrice, Qt::EditRole));
    const QVariant quantityBefore = item->getValue(EstimateField::Quantity);

    QVERIFY(!model->setData(model->index(row, quantityColumn), quantity, Qt::EditRole));
    QCOMPARE(item->getValue(EstimateField::Quantity), quantityBefore);
    // The file saved afterwards opens again, with the row as it was.
    QTemporaryDir dir;
    QString error;
    QVERIFY2(window.saveTo(dir.filePath("site.json"), &error), qPrintable(error));
    auto reloaded = EstimateJson::read(dir.filePath("site.json"), &error);
    QVERIFY2(reloaded, qPrintable(error));
    const int itemPos = window.estimate()->works.front()->tables.front()->rows.indexOf(item);
    QCOMPARE(reloaded->works.front()->tables.front()->rows.at(itemPos)->getValue(EstimateField::Quantity), quantityBefore);
}

void tst_EstimateViewer::foldsChildFirstTableInPreOrder()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("child-first.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "itemviews-estimate", "audit": {"submitted": 1, "reviewed": 2}, "works": [
        {"nodeId": 1, "tables": [{"tableType": 1001, "rows": [{"id": 3, "type": "section", "name": "B"},
            {"id": 4, "parent": 3, "type": "item", "name": "B1"}, {"id": 1, "type": "section", "name": "A"},
            {"id": 2, "parent": 1, "type": "item", "name": "A1"}]}]},
        {"nodeId": 2, "tables": [{"tableType": 3004, "rows": [{"id": 2, "parent": 1, "type": "item", "name": "A1"},
            {"id": 1, "type": "section", "name": "A"}, {"id": 3, "type": "section", "name": "B"},
            {"id": 4, "parent": 3, "type": "item", "name": "B1"}]}]}]})");
    file.close();
    ViewerWindow window;
    window.setProperty("headless", true);
    QSignalSpy finished(&window, &ViewerWindow::loadFinished);
    window.openFile(file.fileName());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.last().at(0).toString(), QString());

    const QList<BaseDataItem*>* reviewedRows = &window.estimate()->works.at(1)->tables.front()->rows;
    auto rowNamed = [reviewedRows](const QString& name) {
        for (int row = 0; row < reviewedRows->size(); ++row) {
            if (reviewedRows->at(row)->getValue(EstimateField::Name) == name)
                return row;
        }
        return -1;
    };
    for (Qtitan::GridView* grid : window.findChildren<Qtitan::GridView*>()) {
        auto* model = dynamic_cast<BaseDataItemModel*>(grid->model());
        if (!model || model->All() != reviewedRows)
            continue;
        bool related = false; // the submitted rows are in another order: related by id, not position
        BaseDataItem* counterpart = window.estimate()->audit->GetRelationItem(reviewedRows->at(rowNamed("A")), related);
        QVERIFY(related);
        QCOMPARE(counterpart->getValue(EstimateField::Name), QVariant("A"));
        grid->setRowFolded(rowNamed("A"), true);
        QVERIFY(grid->isRowHidden(rowNamed("A1")));
        QVERIFY(!grid->isRowHidden(rowNamed("B")));
        return;
    }
    QFAIL("no grid shows the reviewed table");
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
