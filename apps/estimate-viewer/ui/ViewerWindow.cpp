#include "ViewerWindow.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"
#include "EstimateGenerator.h"
#include "EstimateJson.h"
#include "FindBar.h"
#include "FlatTab.h"
#include "GridTab.h"
#include "RecoveryJournal.h"
#include "RecoveryRecord.h"
#include "TreeTab.h"

#include <zTreeItemView.h>

#include <QAbstractItemView>
#include <QApplication>
#include <GridView.h>

#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>
#include <future>

namespace {
const QString sampleResource = QStringLiteral(":/sample-estimate.json");
constexpr int progressSteps = 1000;

// The widest total an estimate shows, as a rule a top-level row's: it sums everything below it.
double widestTotal(const Estimate& estimate)
{
    double widest = 0;
    for (const auto& work : estimate.works) {
        for (const auto& table : work->tables) {
            for (BaseDataItem* row : table->rows) {
                const double total = row->getParent() ? 0.0 : row->getValue(EstimateField::Total).toDouble();
                if (std::abs(total) > std::abs(widest))
                    widest = total;
            }
        }
    }
    return widest;
}

// The table the tree and flat tabs show: the first work's first.
Estimate::Table* firstTable(const Estimate& estimate)
{
    const Estimate::Work* submitted = estimate.works.empty() ? nullptr : estimate.works.front().get();
    return submitted && !submitted->tables.empty() ? submitted->tables.front().get() : nullptr;
}
}

ViewerWindow::ViewerWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_tabs(new QTabWidget(this))
    , m_treeTab(new TreeTab(m_tabs))
    , m_gridTab(new GridTab(m_tabs))
    , m_auditTab(new AuditTab(m_tabs))
    , m_flatTab(new FlatTab(m_tabs))
    , m_status(new QLabel(this))
    , m_editor(new EstimateEditor(this))
    , m_findBar(new FindBar([this] { return findScope(); }, this))
{
    m_tabs->addTab(m_treeTab, tr("Tree"));
    m_tabs->addTab(m_gridTab, tr("Grid"));
    m_tabs->addTab(m_auditTab, tr("Audit comparison"));
    m_tabs->addTab(m_flatTab, tr("Flat list"));
    auto* central = new QWidget(this);
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->addWidget(m_tabs);
    centralLayout->addWidget(m_findBar);
    m_findBar->hide();
    setCentralWidget(central);
    statusBar()->addWidget(m_status, 1);
    buildMenus();
    resize(1280, 800);
    restoreSettings();

    m_treeTab->setEditor(m_editor);
    m_flatTab->setEditor(m_editor);
    m_gridTab->setEditor(m_editor);
    m_auditTab->setEditor(m_editor);
    setWindowTitle(tr("Estimate viewer[*]"));
    connect(m_treeTab, &TreeTab::statusChanged, m_status, &QLabel::setText);
    connect(m_treeTab, &TreeTab::rowsChanged, this, &ViewerWindow::followInOtherViews);
    connect(m_editor, &EstimateEditor::valuesChanged, this, &ViewerWindow::repaintViews);
    connect(m_editor, &EstimateEditor::structureChanged, this, &ViewerWindow::showStructureChange);
    connect(m_editor, &EstimateEditor::valuesChanged, m_findBar, &FindBar::invalidate);
    connect(m_editor, &EstimateEditor::structureChanged, m_findBar, &FindBar::invalidate);
    connect(m_editor->undoStack(), &QUndoStack::cleanChanged, this, [this](bool clean) { setWindowModified(!clean); });
    connect(m_treeTab, &TreeTab::rowFolded, m_auditTab, &AuditTab::followFold);
}

ViewerWindow::~ViewerWindow()
{
    // The views let go of the rows before the estimate that owns them goes, on a thread of its own.
    m_treeTab->setTable(nullptr);
    m_flatTab->setTable(nullptr);
    delete m_tabs;
    Estimate::dispose(std::move(m_estimate));
    Estimate::dispose(std::move(m_leaving));
}

void ViewerWindow::openFile(const QString& path)
{
    const QString source = path.isEmpty() ? sampleResource : path;
    const QString label = path.isEmpty() ? tr("the sample estimate") : path;
    // The sample gets a base of its own: another build of the viewer may bring another sample.
    const QString sampleBase = path.isEmpty() && m_journal ? m_journal->newBasePath() : QString();
    loadInBackground(tr("Loading %1").arg(label),
                     [source, label, sampleBase, keep = m_journal != nullptr](QString* error, LoadProgress* progress, RecoveryBase* base) {
                         auto estimate = EstimateJson::read(source, error, progress);
                         if (estimate && !sampleBase.isEmpty())
                             *base = QFile::copy(source, sampleBase) ? RecoveryBase::of(sampleBase, label, false) : RecoveryBase();
                         else if (estimate && keep) // read again from the system's cache, the bytes just parsed
                             *base = RecoveryBase::of(source, label, true);
                         return estimate;
                     },
                     path);
}

void ViewerWindow::generate(int rowCount)
{
    // An estimate with no file gets a base of its own, written here on the worker before anyone can edit it.
    const QString basePath = m_journal ? m_journal->newBasePath() : QString();
    loadInBackground(tr("Generating an estimate of %L1 rows").arg(rowCount),
                     [rowCount, basePath](QString* error, LoadProgress* progress, RecoveryBase* base) {
                         auto estimate = EstimateGenerator::generate(rowCount, 1, progress);
                         QString baseError; // without a base, changes are not kept: the journal says so at the first
                         if (!estimate)
                             *error = EstimateJson::cancelledMessage();
                         else if (!basePath.isEmpty() && EstimateJson::write(*estimate, basePath, &baseError))
                             *base = RecoveryBase::of(basePath, tr("a generated estimate of %L1 rows").arg(rowCount), false);
                         return estimate;
                     },
                     QString());
}

void ViewerWindow::keepRecoveryRecords(const QString& root)
{
    m_recoveryRoot = root;
    m_journal = new RecoveryJournal(*m_editor, root, this);
    connect(m_journal, &RecoveryJournal::failed, statusBar(), [this](const QString& message) { statusBar()->showMessage(message); });
}

bool ViewerWindow::offerRecovery()
{
    for (auto& record : RecoveryRecord::leftBehind(m_journal ? m_recoveryRoot : QString())) {
        QString problem;
        if (!record->read(&problem) || !record->baseUnchanged(&problem)) {
            QMessageBox::warning(this, tr("Recovery record set aside"), tr("%1\nThe record was moved to %2.").arg(problem, record->setAside()));
            continue;
        }
        if (askToRecover(*record)) {
            recover(std::move(record));
            return true;
        }
        record->remove();
    }
    return false;
}

void ViewerWindow::cancelLoad()
{
    if (m_loadProgress)
        m_loadProgress->cancelled = true;
}

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    if (!maySetChangesAside())
        return event->ignore();
    if (m_journal)
        m_journal->finish();
    saveSettings();
    event->accept();
}

bool ViewerWindow::maySetChangesAside()
{
    if (m_editor->undoStack()->isClean())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Unsaved changes"), tr("The estimate has changes that are not saved. Save them?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save(m_path);
    return answer == QMessageBox::Discard;
}

// The dialog polls the worker's progress; a cancel stops the worker at its next check and drops what it built.
QProgressDialog* ViewerWindow::showProgress(const QString& label)
{
    auto* dialog = new QProgressDialog(label, tr("Cancel"), 0, progressSteps, this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(300);
    dialog->setAutoReset(false);
    connect(dialog, &QProgressDialog::canceled, this, &ViewerWindow::cancelLoad);
    auto* poll = new QTimer(dialog);
    connect(poll, &QTimer::timeout, dialog, [dialog, progress = m_loadProgress] {
        const qint64 total = progress->total;
        dialog->setValue(total > 0 ? int(progress->done * progressSteps / total) : 0);
    });
    poll->start(100);
    return dialog;
}

// At once: a modal dialog alive until the next event loop turn would take the next clicks, and its
// timer would still show it after a load quicker than its minimum duration.
void ViewerWindow::dismiss(QProgressDialog* dialog)
{
    dialog->reset();
    dialog->hide();
    dialog->deleteLater();
}

void ViewerWindow::loadInBackground(const QString& label, Load load, const QString& path, std::function<void()> whenShown)
{
    cancelLoad(); // a load still running is superseded
    m_loadProgress = std::make_shared<LoadProgress>();
    QProgressDialog* dialog = showProgress(label);
    auto outcome = std::make_shared<Outcome>();
    auto loaded = std::make_shared<std::promise<void>>();
    QThread* worker = QThread::create([load, outcome, loaded, progress = m_loadProgress] {
        outcome->estimate = load(&outcome->error, progress.get(), &outcome->base);
        if (outcome->estimate) { // the audit service's signals are delivered on the GUI thread
            outcome->estimate->audit->moveToThread(QCoreApplication::instance()->thread());
            outcome->widest = widestTotal(*outcome->estimate);
            const TreeTab::Prepared tree = TreeTab::prepare(firstTable(*outcome->estimate));
            outcome->treeSpans = tree.spans;
            outcome->treeInPreOrder = tree.inPreOrder;
            progress->done = progress->total.load(); // the bar stays full while the tabs are bound
        }
        loaded->set_value();
    });
    connect(worker, &QThread::finished, this,
            [this, worker, dialog, outcome, path, whenShown, progress = m_loadProgress, done = loaded->get_future().share()] {
        // The rows change threads here: Qt 5's locks behind the signal are invisible to
        // ThreadSanitizer, the future is not.
        done.wait();
        worker->deleteLater();
        if (progress->cancelled)
            Estimate::dispose(std::move(outcome->estimate));
        if (outcome->estimate) {
            outcome->path = path;
            outcome->whenShown = whenShown;
            outcome->progress = progress;
            outcome->dialog = dialog;
            dialog->setLabelText(tr("Showing %L1 rows").arg(outcome->estimate->rowCount()));
            dialog->setValue(progressSteps);
            bindInTurns(outcome, 0);
            return;
        }
        dismiss(dialog);
        const QString error = progress->cancelled ? EstimateJson::cancelledMessage() : outcome->error;
        if (!progress->cancelled && !property("headless").toBool())
            QMessageBox::warning(this, tr("Cannot open the estimate"), error);
        Q_EMIT loadFinished(error);
    });
    worker->start();
}

// One step per event-loop turn: the window repaints and the dialog's Cancel answers between binds,
// each of which reads every row of a table once. The tabs let go of the estimate shown before at
// the first step; a cancel on the way leaves no estimate shown.
void ViewerWindow::bindInTurns(std::shared_ptr<Outcome> outcome, int step)
{
    Estimate* estimate = outcome->estimate.get();
    Estimate::Table* table = firstTable(*estimate);
    if (step == 0) {
        outcome->binding = ++m_bindings; // a later load's first step lets go of this one's tabs
        unbindTabs();
        if (m_estimate) // the journal may still follow it: it goes once the journal has let go
            m_leaving = std::move(m_estimate);
    } else if (outcome->binding != m_bindings || outcome->progress->cancelled) {
        if (outcome->binding == m_bindings) {
            unbindTabs();
            if (m_journal)
                m_journal->startOver(nullptr, RecoveryBase());
            m_path.clear();
            setWindowTitle(tr("Estimate viewer[*]"));
            Estimate::dispose(std::move(m_leaving));
        }
        Estimate::dispose(std::move(outcome->estimate));
        dismiss(outcome->dialog);
        Q_EMIT loadFinished(EstimateJson::cancelledMessage());
        return;
    }
    // The binds, each a pass over a table's rows, in the order the tabs come; the tree tab's first.
    constexpr int treeSteps = TreeTab::tableParts;
    if (step >= 1 && step <= treeSteps) {
        const TreeTab::Prepared tree{outcome->treeSpans, outcome->treeInPreOrder};
        m_treeTab->setTablePart(table, step - 1, &tree);
    }
    switch (step - treeSteps) {
    case 1:
        m_flatTab->setTable(table);
        break;
    case 2:
        m_gridTab->setEstimate(estimate, false);
        m_gridTab->bindPart(0);
        break;
    case 3:
        m_gridTab->bindPart(1);
        break;
    case 4:
        m_auditTab->setEstimate(estimate, false);
        m_auditTab->bindSide(false, 0);
        break;
    case 5:
        m_auditTab->bindSide(false, 1);
        break;
    case 6:
        m_auditTab->bindSide(true, 0);
        break;
    case 7:
        m_auditTab->bindSide(true, 1);
        break;
    case 8:
        dismiss(outcome->dialog);
        showEstimate(std::move(outcome->estimate), outcome->path, outcome->base, outcome->widest);
        Estimate::dispose(std::move(m_leaving)); // shown nowhere any more, and no longer the journal's
        if (outcome->whenShown)
            outcome->whenShown();
        Q_EMIT loadFinished(QString());
        return;
    default:
        break;
    }
    // A timer, not a posted call: posted calls may run back to back within one turn.
    auto* next = new QTimer(this);
    next->setSingleShot(true);
    connect(next, &QTimer::timeout, this, [this, next, outcome, step] {
        next->deleteLater();
        bindInTurns(outcome, step + 1);
    });
    next->start(0);
}

// The tabs show no estimate; nothing refers to the rows of the one shown before.
void ViewerWindow::unbindTabs()
{
    m_findBar->invalidate(); // it may be reading the old estimate's rows
    m_editor->setEstimate(nullptr); // drops the undo history, and with it rows deleted from the old estimate
    m_treeTab->setTable(nullptr);
    m_flatTab->setTable(nullptr);
    m_gridTab->setEstimate(nullptr);
    m_auditTab->setEstimate(nullptr);
}

void ViewerWindow::showEstimate(std::unique_ptr<Estimate> estimate, const QString& path, const RecoveryBase& base, double widest)
{
    m_editor->setEstimate(estimate.get());
    m_estimate = std::move(estimate);
    for (QTableView* view : findChildren<QTableView*>()) {
        if (!view->objectName().isEmpty())
            EstimateColumns::fitTotal(*view->horizontalHeader(), widest);
    }
    m_path = path;
    setWindowTitle(tr("%1[*] - Estimate viewer").arg(m_estimate->projectName));
    if (m_journal) // the changes to the estimate shown before were saved or discarded
        m_journal->startOver(m_estimate.get(), base);
}

bool ViewerWindow::askToRecover(const RecoveryRecord& record)
{
    QMessageBox question(QMessageBox::Question, tr("Recover unsaved changes"),
                         tr("Recover the unsaved changes to %1 from %2?")
                             .arg(record.base().label, QLocale().toString(record.lastChange(), QLocale::ShortFormat)),
                         QMessageBox::Discard, this);
    QPushButton* recover = question.addButton(tr("Recover"), QMessageBox::AcceptRole);
    question.setDefaultButton(recover);
    question.exec();
    return question.clickedButton() == recover;
}

// The base is read and the changes replayed on the worker; the recovered session goes on with the record.
void ViewerWindow::recover(std::shared_ptr<RecoveryRecord> record)
{
    const RecoveryBase& base = record->base();
    loadInBackground(tr("Recovering the unsaved changes to %1").arg(base.label),
                     [record](QString* error, LoadProgress* progress, RecoveryBase* loadedBase) {
                         *loadedBase = record->base();
                         std::unique_ptr<Estimate> estimate = record->restore(error, progress);
                         if (!estimate && !progress->cancelled)
                             *error += tr("\nThe record was moved to %1.").arg(record->setAside());
                         return estimate;
                     },
                     base.userFile ? base.path : QString(), [this, record] {
                         m_journal->resume(*record);
                         m_editor->undoStack()->resetClean(); // not saved: leaving asks first
                     });
}

void ViewerWindow::followInOtherViews(const StructureChange& change)
{
    m_gridTab->followStructure(change);
    m_auditTab->followStructure(change);
    m_flatTab->followStructure(change);
}

void ViewerWindow::repaintViews()
{
    // Values changed in place: every view repaints what it shows, whatever the estimate's size.
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
        view->viewport()->update();
}

void ViewerWindow::showStructureChange(const StructureChange& change)
{
    m_treeTab->followStructure(change);
    followInOtherViews(change);
}

FindBar::Scope ViewerWindow::findScope()
{
    QWidget* tab = m_tabs->currentWidget();
    if (tab == m_treeTab)
        return m_treeTab->findScope();
    if (tab == m_gridTab)
        return m_gridTab->findScope();
    if (tab == m_auditTab)
        return m_auditTab->findScope();
    return m_flatTab->findScope();
}

QTableView* ViewerWindow::currentTable() const
{
    QWidget* tab = m_tabs->currentWidget();
    if (tab == m_auditTab)
        return m_auditTab->focusedGrid();
    if (tab == m_treeTab)
        return m_treeTab->view();
    return tab->findChild<QTableView*>();
}
