#include "ViewerWindow.h"

#include "EstimateGenerator.h"
#include "EstimateJson.h"
#include "FlatTab.h"
#include "GridTab.h"
#include "TreeTab.h"

#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <future>

namespace {
const QString sampleResource = QStringLiteral(":/sample-estimate.json");
const QStringList tabNames = {"tree", "grid", "audit", "flat"};
constexpr int progressSteps = 1000;
}

ViewerWindow::ViewerWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_tabs(new QTabWidget(this))
    , m_treeTab(new TreeTab(m_tabs))
    , m_gridTab(new GridTab(m_tabs))
    , m_auditTab(new AuditTab(m_tabs))
    , m_flatTab(new FlatTab(m_tabs))
    , m_status(new QLabel(this))
{
    m_tabs->addTab(m_treeTab, tr("Tree"));
    m_tabs->addTab(m_gridTab, tr("Grid"));
    m_tabs->addTab(m_auditTab, tr("Audit comparison"));
    m_tabs->addTab(m_flatTab, tr("Flat list"));
    setCentralWidget(m_tabs);
    statusBar()->addWidget(m_status, 1);
    buildMenus();
    resize(1280, 800);

    connect(m_treeTab, &TreeTab::statusChanged, m_status, &QLabel::setText);
    connect(m_treeTab, &TreeTab::rowsAboutToBeDestroyed, this, &ViewerWindow::forgetRows);
    connect(m_treeTab, &TreeTab::rowsChanged, this, &ViewerWindow::refreshOtherViews);
    connect(m_treeTab, &TreeTab::rowFolded, m_auditTab, &AuditTab::followFold);
}

ViewerWindow::~ViewerWindow()
{
    // The views let go of the rows before the estimate that owns them goes.
    m_treeTab->setTable(nullptr);
    m_flatTab->setTable(nullptr);
    delete m_tabs;
}

void ViewerWindow::openFile(const QString& path)
{
    const QString source = path.isEmpty() ? sampleResource : path;
    loadInBackground(tr("Loading %1").arg(path.isEmpty() ? tr("the sample estimate") : path),
                     [source](QString* error, LoadProgress* progress) { return EstimateJson::read(source, error, progress); },
                     path);
}

void ViewerWindow::generate(int rowCount)
{
    loadInBackground(tr("Generating an estimate of %L1 rows").arg(rowCount),
                     [rowCount](QString* error, LoadProgress* progress) {
                         auto estimate = EstimateGenerator::generate(rowCount, 1, progress);
                         if (!estimate)
                             *error = EstimateJson::cancelledMessage();
                         return estimate;
                     },
                     QString());
}

void ViewerWindow::cancelLoad()
{
    if (m_loadProgress)
        m_loadProgress->cancelled = true;
}

bool ViewerWindow::saveTo(const QString& path, QString* error)
{
    if (!m_estimate || !EstimateJson::write(*m_estimate, path, error))
        return false;
    m_path = path;
    setWindowTitle(tr("%1 - Estimate viewer").arg(path));
    return true;
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

void ViewerWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open estimate"), QString(), tr("Estimates (*.json)"));
        if (!path.isEmpty())
            openFile(path);
    }, QKeySequence::Open);
    file->addAction(tr("Open the &sample"), this, [this] { openFile(QString()); });
    file->addAction(tr("&Generate..."), this, [this] {
        bool ok = false;
        const int rows = QInputDialog::getInt(this, tr("Generate estimate"), tr("Rows:"), 100000, 10, 1000000, 1000, &ok);
        if (ok)
            generate(rows);
    });
    file->addAction(tr("&Save"), this, [this] { save(m_path); }, QKeySequence::Save);
    file->addAction(tr("Save &as..."), this, &ViewerWindow::saveAs, QKeySequence::SaveAs);
    file->addSeparator();
    file->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence::Quit);

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

void ViewerWindow::loadInBackground(const QString& label, Load load, const QString& path)
{
    cancelLoad(); // a load still running is superseded
    m_loadProgress = std::make_shared<LoadProgress>();
    QProgressDialog* dialog = showProgress(label);
    struct Outcome
    {
        std::unique_ptr<Estimate> estimate;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    auto loaded = std::make_shared<std::promise<void>>();
    QThread* worker = QThread::create([load, outcome, loaded, progress = m_loadProgress] {
        outcome->estimate = load(&outcome->error, progress.get());
        if (outcome->estimate) // the audit service's signals are delivered on the GUI thread
            outcome->estimate->audit->moveToThread(QCoreApplication::instance()->thread());
        loaded->set_value();
    });
    connect(worker, &QThread::finished, this,
            [this, worker, dialog, outcome, path, progress = m_loadProgress, done = loaded->get_future().share()] {
        // The rows change threads here: Qt 5's locks behind the signal are invisible to
        // ThreadSanitizer, the future is not.
        done.wait();
        worker->deleteLater();
        dialog->deleteLater();
        if (progress->cancelled) {
            outcome->estimate.reset();
            outcome->error = EstimateJson::cancelledMessage();
        }
        if (outcome->estimate)
            showEstimate(std::move(outcome->estimate), path);
        else if (!progress->cancelled && !property("headless").toBool())
            QMessageBox::warning(this, tr("Cannot open the estimate"), outcome->error);
        Q_EMIT loadFinished(outcome->error);
    });
    worker->start();
}

void ViewerWindow::showEstimate(std::unique_ptr<Estimate> estimate, const QString& path)
{
    Estimate::Work* submitted = estimate->works.empty() ? nullptr : estimate->works.front().get();
    Estimate::Table* table = submitted && !submitted->tables.empty() ? submitted->tables.front().get() : nullptr;
    m_treeTab->setTable(table);
    m_flatTab->setTable(table);
    m_gridTab->setEstimate(estimate.get());
    m_auditTab->setEstimate(estimate.get());
    m_estimate = std::move(estimate); // the old estimate goes only once no view shows it
    m_path = path;
    setWindowTitle(tr("%1 - Estimate viewer").arg(m_estimate->projectName));
}

void ViewerWindow::forgetRows(const QList<BaseDataItem*>& rows)
{
    for (BaseDataItem* row : rows)
        m_estimate->audit->ForgetRow(row);
}

void ViewerWindow::refreshOtherViews()
{
    m_gridTab->refresh();
    m_auditTab->refresh();
    m_flatTab->refresh();
}

void ViewerWindow::applyDisplay()
{
    m_treeTab->setDisplay(m_styles->checkedAction()->data().toInt(), m_checkBoxes->isChecked());
}

void ViewerWindow::saveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save estimate"), m_path, tr("Estimates (*.json)"));
    if (!path.isEmpty())
        save(path);
}

void ViewerWindow::save(const QString& path)
{
    if (path.isEmpty())
        return saveAs();
    QString error;
    if (!saveTo(path, &error))
        QMessageBox::warning(this, tr("Cannot save the estimate"), error);
}
