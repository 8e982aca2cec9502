#include "ViewerWindow.h"

#include "EstimateClipboard.h"
#include "EstimateEditor.h"
#include "RecentFiles.h"
#include "TreeTab.h"

#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QUndoStack>

// The window's menus and the settings it keeps across runs.

void ViewerWindow::restoreSettings()
{
    QSettings settings;
    restoreGeometry(settings.value("window/geometry").toByteArray());
    m_tabs->setCurrentIndex(settings.value("window/tab", 0).toInt());
    const QList<QAction*> styles = m_styles->actions();
    styles.value(settings.value("view/style", 1).toInt(), styles.at(1))->setChecked(true);
    m_checkBoxes->setChecked(settings.value("view/checkBoxes", false).toBool());
    applyDisplay();
    for (QTableView* view : findChildren<QTableView*>()) {
        if (!view->objectName().isEmpty())
            view->horizontalHeader()->restoreState(settings.value("columns/" + view->objectName()).toByteArray());
    }
}

void ViewerWindow::saveSettings() const
{
    QSettings settings;
    settings.setValue("window/geometry", saveGeometry());
    settings.setValue("window/tab", m_tabs->currentIndex());
    settings.setValue("view/style", m_styles->checkedAction()->data());
    settings.setValue("view/checkBoxes", m_checkBoxes->isChecked());
    for (QTableView* view : findChildren<QTableView*>()) {
        if (!view->objectName().isEmpty())
            settings.setValue("columns/" + view->objectName(), view->horizontalHeader()->saveState());
    }
}

void ViewerWindow::buildMenus()
{
    buildFileMenu();
    buildEditMenu();
    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_styles = new QActionGroup(this);
    const QStringList styleNames = {tr("No lines"), tr("Solid lines"), tr("Text nodes with dotted lines"), tr("No level indentation")};
    for (int style = 0; style < styleNames.size(); ++style) {
        QAction* action = view->addAction(styleNames.at(style), this, &ViewerWindow::applyDisplay);
        action->setCheckable(true);
        action->setChecked(style == 1);
        action->setData(style);
        m_styles->addAction(action);
    }
    view->addSeparator();
    m_checkBoxes = view->addAction(tr("&Check boxes"), this, &ViewerWindow::applyDisplay);
    m_checkBoxes->setCheckable(true);
}

void ViewerWindow::buildFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), this, [this] {
        if (!maySetChangesAside())
            return;
        const QString path = QFileDialog::getOpenFileName(this, tr("Open estimate"), QString(), tr("Estimates (*.json)"));
        if (!path.isEmpty())
            openFile(path);
    }, QKeySequence::Open);
    addRecentFilesMenu(file);
    file->addAction(tr("Open the &sample"), this, [this] {
        if (maySetChangesAside())
            openFile(QString());
    });
    file->addAction(tr("&Generate..."), this, [this] {
        if (!maySetChangesAside())
            return;
        bool ok = false;
        const int rows = QInputDialog::getInt(this, tr("Generate estimate"), tr("Rows:"), 100000, 10, 1000000, 1000, &ok);
        if (ok)
            generate(rows);
    });
    // Spelled out: some platforms bind no key to Save As.
    file->addAction(tr("&Save"), this, [this] { save(m_path); }, QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addAction(tr("Save &as..."), this, &ViewerWindow::saveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addAction(tr("&Export table as CSV..."), this, &ViewerWindow::exportCsv);
    file->addAction(tr("Export table as &workbook..."), this, [this] { exportTableAs(tr("Export workbook"), tr("Workbooks (*.xlsx)"), "xlsx"); });
    file->addAction(tr("Export table as P&DF..."), this, [this] { exportTableAs(tr("Export PDF"), tr("PDF (*.pdf)"), "pdf"); });
    file->addAction(tr("Print pre&view..."), this, [this] { printTable(true); });
    file->addAction(tr("&Print..."), this, [this] { printTable(false); }, QKeySequence::Print);
    file->addSeparator();
    file->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence::Quit);
}

void ViewerWindow::buildEditMenu()
{
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = m_editor->undoStack()->createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = m_editor->undoStack()->createRedoAction(this, tr("&Redo"));
    // Ctrl+Y too, as in the spreadsheets estimators work in.
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);
    addClipboardActions(edit);
    edit->addSeparator();
    edit->addAction(tr("&Find..."), m_findBar, &FindBar::open, QKeySequence(Qt::CTRL | Qt::Key_F));
    edit->addAction(tr("Find &next"), this, [this] { m_findBar->step(+1); }, QKeySequence(Qt::Key_F3));
    edit->addAction(tr("Find &previous"), this, [this] { m_findBar->step(-1); }, QKeySequence(Qt::SHIFT | Qt::Key_F3));
}

void ViewerWindow::addRecentFilesMenu(QMenu* file)
{
    QMenu* recent = file->addMenu(tr("Open &Recent"));
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        const QStringList paths = RecentFiles::list();
        for (int position = 0; position < paths.size(); ++position) {
            const QString path = paths.at(position);
            recent->addAction(QStringLiteral("&%1 %2").arg(position + 1).arg(QDir::toNativeSeparators(path)), this, [this, path] {
                if (!QFileInfo::exists(path)) {
                    RecentFiles::remove(path);
                    QMessageBox::information(this, tr("File not found"),
                                             tr("%1 is no longer there. It was removed from the recent files.").arg(QDir::toNativeSeparators(path)));
                } else if (maySetChangesAside()) {
                    openFile(path);
                }
            });
        }
        if (paths.isEmpty())
            recent->addAction(tr("No files opened yet"))->setEnabled(false);
    });
    connect(this, &ViewerWindow::loadFinished, this, [this](const QString& error) {
        if (error.isEmpty() && !m_path.isEmpty() && !property("headless").toBool())
            RecentFiles::add(m_path);
    });
}

void ViewerWindow::addClipboardActions(QMenu* edit)
{
    edit->addSeparator();
    edit->addAction(tr("&Copy"), this, [this] {
        QMimeData* data = currentTable() ? EstimateClipboard::copy(*currentTable()) : nullptr;
        if (data)
            QGuiApplication::clipboard()->setMimeData(data);
        statusBar()->showMessage(data ? tr("Copied to the clipboard") : tr("Nothing to copy: select cells or block-select rows"), 20000);
    }, QKeySequence(Qt::CTRL | Qt::Key_C));
    edit->addAction(tr("&Paste"), this, [this] {
        if (currentTable())
            statusBar()->showMessage(EstimateClipboard::paste(*currentTable(), *m_editor, QGuiApplication::clipboard()->text()), 20000);
    }, QKeySequence(Qt::CTRL | Qt::Key_V));
}

void ViewerWindow::applyDisplay()
{
    m_treeTab->setDisplay(m_styles->checkedAction()->data().toInt(), m_checkBoxes->isChecked());
}
