// The estimate viewer: opens an estimate (the bundled sample by default) in the
// library's models and views.
#include "ViewerWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << message << '\n';
    return 1;
}

// Headless runs: once the estimate is there, save, export and/or screenshot, then quit.
void finishHeadless(ViewerWindow& window, const QCommandLineParser& options)
{
    QObject::connect(&window, &ViewerWindow::loadFinished, &window, [&window, &options](const QString& error) {
        QString problem = error;
        if (problem.isEmpty() && options.isSet("save"))
            window.saveTo(options.value("save"), &problem);
        if (problem.isEmpty() && options.isSet("export"))
            window.exportTable(options.value("export"), options.isSet("tab") ? options.value("tab") : QStringLiteral("tree"), &problem);
        if (problem.isEmpty() && options.isSet("screenshot"))
            window.saveScreenshots(options.value("screenshot"), options.value("tab"), &problem);
        QCoreApplication::exit(problem.isEmpty() ? 0 : fail(problem));
    });
}

// ESTIMATE_VIEWER_STALLS set: how long the GUI thread went without turning its event loop, on stderr. A 10 ms
// timer notes every gap over 50 ms as it happens, and the longest since the last report once a load has
// been shown and its first frame painted.
class StallProbe : public QObject
{
public:
    explicit StallProbe(ViewerWindow& window) : QObject(&window)
    {
        connect(&m_ticker, &QTimer::timeout, this, [this] { noteTurn(); });
        connect(&window, &ViewerWindow::loadFinished, this, [this, &window](const QString& error) {
            window.repaint(); // the first frame, painted now rather than in a later turn
            noteTurn();
            QTextStream(stderr) << "stalls: longest " << m_longestMs << " ms up to the first frame after a load"
                                << (error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(error)) << '\n';
            m_longestMs = 0;
        });
        m_sinceTurn.start();
        m_sinceStart.start();
        m_ticker.start(10);
    }

private:
    void noteTurn()
    {
        const qint64 gapMs = m_sinceTurn.restart();
        if (gapMs > 50)
            QTextStream(stderr) << "stalls: " << gapMs << " ms without a turn, ending " << m_sinceStart.elapsed() << " ms after the start\n";
        m_longestMs = qMax(m_longestMs, gapMs);
    }

    QTimer m_ticker;
    QElapsedTimer m_sinceTurn;
    QElapsedTimer m_sinceStart;
    qint64 m_longestMs = 0;
};

} // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // An estimate of millions of rows is built on a worker thread, whose malloc heap grows in steps of
    // 128 KB by default, one system call each: steps of 64 MB save a sixth of the system's time in
    // opening a large file. Memory is still used only once touched.
    mallopt(M_TOP_PAD, 64 << 20);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Estimate viewer"));
    QApplication::setOrganizationName(QStringLiteral("ItemViews"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Shows a construction-cost estimate in the ItemViews models and views."));
    options.addHelpOption();
    options.addPositionalArgument("file", "Estimate to open (JSON); the bundled sample when none is given.", "[file]");
    options.addOption({"generate", "Build a synthetic estimate of about N rows instead of opening a file.", "N"});
    options.addOption({"screenshot", "Render the window to FILE.png (every tab, or --tab) and exit.", "FILE.png"});
    options.addOption({"tab", "The tab to render or export: tree, grid, audit or flat.", "name"});
    options.addOption({"export", "Write the table (of --tab, else the tree) as a workbook, PDF or CSV to FILE and exit.",
                       "FILE.xlsx|FILE.pdf|FILE.csv"});
    options.addOption({"save", "Save the estimate to FILE and exit.", "FILE"});
    options.process(app);

    bool isNumber = false;
    const int rows = options.value("generate").toInt(&isNumber);
    if (options.isSet("generate") && (!isNumber || rows < 1 || rows > 1000000))
        return fail(QStringLiteral("--generate takes a number of rows from 1 to 1000000"));
    ViewerWindow window;
    if (qEnvironmentVariableIsSet("ESTIMATE_VIEWER_STALLS"))
        new StallProbe(window);
    // Headless runs keep no record and ask nothing: scripts never wait on a question.
    const bool headless = options.isSet("screenshot") || options.isSet("save") || options.isSet("export");
    window.setProperty("headless", headless);
    if (headless) {
        finishHeadless(window, options);
    } else {
        window.keepRecoveryRecords(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/recovery"));
        window.show();
    }
    if (!headless && window.offerRecovery())
        return app.exec();
    if (options.isSet("generate"))
        window.generate(rows);
    else
        window.openFile(options.positionalArguments().value(0));
    return app.exec();
}
