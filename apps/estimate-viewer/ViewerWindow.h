#pragma once

#include "Estimate.h"
#include "LoadProgress.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class AuditTab;
class FlatTab;
class GridTab;
class QActionGroup;
class QLabel;
class QProgressDialog;
class QTabWidget;
class TreeTab;

/*!
 * The estimate viewer's window: the tree, grid, audit and flat tabs over one
 * estimate. Files load in the background with progress; a file that fails to
 * load is reported and the current estimate stays.
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
    /// Stops a load or generation under way; the estimate shown stays and loadFinished reports "cancelled".
    void cancelLoad();
    bool saveTo(const QString& path, QString* error);
    /// Renders one tab ("tree", "grid", "audit", "flat") or all of them to PNG files.
    bool saveScreenshots(const QString& path, const QString& tabName, QString* error);
    Estimate* estimate() const { return m_estimate.get(); }

Q_SIGNALS:
    /// A load or generation ended; message is empty on success.
    void loadFinished(const QString& message);

private:
    void buildMenus();
    using Load = std::function<std::unique_ptr<Estimate>(QString* error, LoadProgress* progress)>;
    QProgressDialog* showProgress(const QString& label);
    void loadInBackground(const QString& label, Load load, const QString& path);
    void showEstimate(std::unique_ptr<Estimate> estimate, const QString& path);
    void forgetRows(const QList<BaseDataItem*>& rows);
    void refreshOtherViews();
    void applyDisplay();
    void saveAs();
    void save(const QString& path);

    std::unique_ptr<Estimate> m_estimate;
    QString m_path;
    std::shared_ptr<LoadProgress> m_loadProgress; // of the latest load, shared with its worker
    QTabWidget* m_tabs; // child
    TreeTab* m_treeTab; // child
    GridTab* m_gridTab; // child
    AuditTab* m_auditTab; // child
    FlatTab* m_flatTab; // child
    QLabel* m_status; // child
    QActionGroup* m_styles = nullptr; // child
    QAction* m_checkBoxes = nullptr; // child
};
