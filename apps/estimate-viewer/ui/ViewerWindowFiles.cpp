#include "ViewerWindow.h"

#include "CsvExport.h"
#include "EstimateEditor.h"
#include "EstimateJson.h"
#include "RecoveryJournal.h"
#include "ShownTable.h"
#include "TablePrinter.h"
#include "WorkbookExport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QUndoStack>

// What the window writes: the estimate, a tab's table as a file or on paper, screenshots.

namespace {
const QStringList tabNames = {"tree", "grid", "audit", "flat"};
}

bool ViewerWindow::saveTo(const QString& path, QString* error)
{
    if (!m_estimate || !EstimateJson::write(*m_estimate, path, error))
        return false;
    m_path = path;
    setWindowTitle(tr("%1[*] - Estimate viewer").arg(path));
    if (m_journal) // the saved file is the base of the changes that follow
        m_journal->startOver(m_estimate.get(), RecoveryBase::of(path, path, true));
    m_editor->undoStack()->clear(); // and their history starts there, as a record replayed onto that file does
    return true;
}

bool ViewerWindow::save(const QString& path)
{
    if (path.isEmpty())
        return saveAs();
    QString error;
    if (saveTo(path, &error))
        return true;
    QMessageBox::warning(this, tr("Cannot save the estimate"), error);
    return false;
}

bool ViewerWindow::saveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save estimate"), m_path, tr("Estimates (*.json)"));
    return !path.isEmpty() && save(path);
}

void ViewerWindow::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Export table"), QString(), tr("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !CsvExport::write(*currentTable(), path, &error))
        QMessageBox::warning(this, tr("Cannot export the table"), error);
}

bool ViewerWindow::exportTable(const QString& path, const QString& tabName, QString* error)
{
    const int tabPosition = tabName.isEmpty() ? m_tabs->currentIndex() : tabNames.indexOf(tabName);
    if (tabPosition < 0) {
        *error = tr("no tab is called \"%1\" (tree, grid, audit, flat)").arg(tabName);
        return false;
    }
    m_tabs->setCurrentIndex(tabPosition);
    QApplication::processEvents(); // the tab shows the rows' folds again
    const QString suffix = QFileInfo(path).suffix().toLower();
    const ShownTable table(*currentTable(), m_estimate.get());
    if (suffix == QLatin1String("xlsx"))
        return WorkbookExport::write(table, path, error);
    if (suffix == QLatin1String("pdf"))
        return TablePrinter::writePdf(table, path, error);
    if (suffix == QLatin1String("csv"))
        return CsvExport::write(table, path, error);
    *error = tr("%1: the file name must end in .xlsx, .pdf or .csv").arg(path);
    return false;
}

void ViewerWindow::exportTableAs(const QString& title, const QString& filter, const QString& suffix)
{
    QFileDialog dialog(this, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix); // the format follows the suffix
    QString error;
    if (dialog.exec() == QDialog::Accepted && !exportTable(dialog.selectedFiles().value(0), QString(), &error))
        QMessageBox::warning(this, tr("Cannot export the table"), error);
}

void ViewerWindow::printTable(bool preview)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_estimate ? m_estimate->projectName : QString());
    const ShownTable table(*currentTable(), m_estimate.get());
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&table](QPrinter* target) { TablePrinter(table).print(*target); });
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted && !TablePrinter(table).print(printer))
        QMessageBox::warning(this, tr("Cannot print the table"), tr("The printer cannot be drawn on."));
}

bool ViewerWindow::saveScreenshots(const QString& path, const QString& tabName, QString* error)
{
    const QStringList chosen = tabName.isEmpty() ? tabNames : QStringList{tabName};
    for (const QString& name : chosen) {
        const int tabPosition = tabNames.indexOf(name);
        if (tabPosition < 0) {
            *error = tr("no tab is called \"%1\" (tree, grid, audit, flat)").arg(name);
            return false;
        }
        m_tabs->setCurrentIndex(tabPosition);
        QApplication::processEvents();
        QString target = path;
        if (chosen.size() > 1) {
            if (target.endsWith(QLatin1String(".png")))
                target.chop(4);
            target += QStringLiteral("-%1.png").arg(name);
        }
        if (!grab().save(target, "PNG")) {
            *error = tr("%1: cannot write the screenshot").arg(target);
            return false;
        }
    }
    return true;
}
