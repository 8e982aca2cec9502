#pragma once

#include "Estimate.h"
#include "FindBar.h"
#include "LoadProgress.h"
#include "RecoveryBase.h"

#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>

class AuditTab;
class EstimateEditor;
class FlatTab;
class GridTab;
class QActionGroup;
class QLabel;
class QMenu;
class QProgressDialog;
class QTabWidget;
class QTableView;
class RecoveryJournal;
class RecoveryRecord;
struct StructureChange;
class TreeTab;

/*!
 * The estimate viewer's window: the tree, grid, audit and flat tabs over one
 * estimate. Files load in the background with progress; a file that fails to
 * load is reported and the current estimate stays. Changes can be undone; the
 * title marks unsaved ones, and leaving them asks first. Unsaved changes can be kept
 * on disk, and offered back after a crash.
 */
class ViewerWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit ViewerWindow(QWidget* parent = nullptr);
    ~ViewerWindow() override;

    /// Loads an estimate file (or the bundled sample for an empty path) in the background.
    void openFile(const QString& path);
    /// Builds a synthetic estimate of about rowCount rows in the background.
    void generate(int rowCount);
    /// Keeps a record of unsaved changes under root (call before the first load), to recover them after a crash.
    void keepRecoveryRecords(const QString& root);
    /// Offers back the changes of each viewer that ended without cleaning up; true when a recovery is loading.
    bool offerRecovery();
    /// Stops a load or generation under way; loadFinished reports "cancelled". While the file is read, the
    /// estimate shown stays; once the tabs have begun to show the new one, no estimate is shown.
    void cancelLoad();
    bool saveTo(const QString& path, QString* error);
    /// Writes the table of a tab ("tree", "grid", "audit", "flat"; empty: the current one) as .xlsx, .pdf or .csv,
    /// chosen by the path's suffix.
    bool exportTable(const QString& path, const QString& tabName, QString* error);
    /// Renders one tab ("tree", "grid", "audit", "flat") or all of them to PNG files.
    bool saveScreenshots(const QString& path, const QString& tabName, QString* error);
    Estimate* estimate() const { return m_estimate.get(); }
    EstimateEditor* editor() const { return m_editor; }
    FindBar* findBar() const { return m_findBar; }
    /// The table the current tab shows (in the Audit tab, the side focused last).
    QTableView* currentTable() const;

protected:
    void closeEvent(QCloseEvent* event) override;

Q_SIGNALS:
    /// A load or generation ended; message is empty on success.
    void loadFinished(const QString& message);

private:
    void buildMenus();
    /// Window geometry, current tab, display style and column widths, kept across runs.
    void restoreSettings();
    void saveSettings() const;
    void buildFileMenu();
    void buildEditMenu();
    /// File -> Open Recent, kept up to date as files load.
    void addRecentFilesMenu(QMenu* file);
    /// Copy and paste of the current table's cells, to and from spreadsheets.
    void addClipboardActions(QMenu* edit);
    /// Unsaved changes: asks Save / Discard / Cancel; true when the window may go on.
    bool maySetChangesAside();
    /// Builds an estimate on a worker thread; base: the file that recovery records would start from.
    using Load = std::function<std::unique_ptr<Estimate>(QString* error, LoadProgress* progress, RecoveryBase* base)>;
    static void dismiss(QProgressDialog* dialog);
    QProgressDialog* showProgress(const QString& label);
    void loadInBackground(const QString& label, Load load, const QString& path, std::function<void()> whenShown = {});
    /// A load's result on its way to the tabs.
    struct Outcome
    {
        std::unique_ptr<Estimate> estimate;
        QString error;
        RecoveryBase base;
        double widest = 0; // the widest total, found on the worker: it reads every row
        QList<QRect> treeSpans; // the tree tab's, also found on the worker
        bool treeInPreOrder = false; // and whether its bind may take the list as it is
        QString path;
        std::function<void()> whenShown;
        std::shared_ptr<LoadProgress> progress;
        QProgressDialog* dialog = nullptr;
        int binding = 0;
    };
    void bindInTurns(std::shared_ptr<Outcome> outcome, int step);
    void unbindTabs();
    void showEstimate(std::unique_ptr<Estimate> estimate, const QString& path, const RecoveryBase& base, double widest);
    bool askToRecover(const RecoveryRecord& record);
    void recover(std::shared_ptr<RecoveryRecord> record);
    void followInOtherViews(const StructureChange& change);
    void repaintViews();
    void showStructureChange(const StructureChange& change);
    void applyDisplay();
    FindBar::Scope findScope();
    void exportCsv();
    void exportTableAs(const QString& title, const QString& filter, const QString& suffix);
    void printTable(bool preview);
    bool saveAs();
    bool save(const QString& path);

    std::unique_ptr<Estimate> m_estimate;
    std::unique_ptr<Estimate> m_leaving; // shown before the one being bound; freed once the journal lets go of it
    QString m_path;
    std::shared_ptr<LoadProgress> m_loadProgress; // of the latest load, shared with its worker
    int m_bindings = 0; // binds of loaded estimates begun; the latest is the only one that goes on
    QTabWidget* m_tabs; // child
    TreeTab* m_treeTab; // child
    GridTab* m_gridTab; // child
    AuditTab* m_auditTab; // child
    FlatTab* m_flatTab; // child
    QLabel* m_status; // child
    EstimateEditor* m_editor; // child
    FindBar* m_findBar; // child
    RecoveryJournal* m_journal = nullptr; // child; null: no records kept
    QString m_recoveryRoot;
    QActionGroup* m_styles = nullptr; // child
    QAction* m_checkBoxes = nullptr; // child
};
