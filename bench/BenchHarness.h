#pragma once
// What every benchmark program shares: its application, best-of-N timing, measurements in a child
// process, and the markdown tables most of them print.

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace bench {

/**
 * A benchmark program: an offscreen application and the workloads it runs in order. A
 * measurement that may not finish (a quadratic peer) or whose peak memory must be its own runs in
 * a child process.
 *
 *     BenchHarness harness(argc, argv);
 *     const double ms = BenchHarness::bestOf(3, [&] { model.BindSrcData(&rows, true); });
 *     return harness.run({bindWorkload, expandWorkload});
 */
class BenchHarness
{
public:
    using Workload = std::function<void()>;

    /// What a child process wrote, and what it cost.
    struct Child
    {
        QByteArray output;
        bool finished = false; // false: killed at the time cap, or never started
        double cpuMs = 0; // user and system time
        double peakMb = 0; // peak resident memory, MiB
    };

    /// The application, offscreen unless QT_QPA_PLATFORM says otherwise.
    BenchHarness(int& argc, char** argv)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(dropDebugLines);
    }

    /// Runs the workloads in order, separator printed between two; the exit code of main.
    int run(const std::vector<Workload>& workloads, const char* separator = "")
    {
        for (size_t position = 0; position < workloads.size(); ++position) {
            if (position > 0)
                std::printf("%s", separator);
            workloads[position]();
        }
        return 0;
    }

    /// The best of runs runs of measured, each after an untimed prepare, in milliseconds.
    static double bestOf(int runs, const std::function<void()>& prepare, const std::function<void()>& measured)
    {
        double best = 1e300;
        for (int run = 0; run < runs; ++run) {
            prepare();
            QElapsedTimer timer;
            timer.start();
            measured();
            best = std::min(best, timer.nsecsElapsed() / 1e6);
        }
        return best;
    }

    /// The best of runs runs of measured, in milliseconds.
    static double bestOf(int runs, const std::function<void()>& measured) { return bestOf(runs, [] {}, measured); }

    /// Runs work in a forked child; its output is what work returned. capSeconds > 0 kills it then.
    static Child forked(const std::function<QByteArray()>& work, int capSeconds = 0)
    {
        return start([&work](int output) {
            const QByteArray result = work();
            _exit(write(output, result.constData(), size_t(result.size())) == result.size() ? 0 : 1);
        }, capSeconds);
    }

    /// Runs a program (arguments[0]) in a fresh process, so its memory is its own; its standard output.
    static Child program(const QList<QByteArray>& arguments)
    {
        return start([&arguments](int output) {
            std::vector<char*> argv;
            for (const QByteArray& argument : arguments)
                argv.push_back(const_cast<char*>(argument.constData()));
            argv.push_back(nullptr);
            dup2(output, STDOUT_FILENO);
            execv(argv.front(), argv.data());
            _exit(127);
        }, 0);
    }

    /// A markdown table's first two lines; alignments has an 'l' or 'r' per column.
    static void printTableHeader(const QStringList& titles, const char* alignments)
    {
        std::printf("|");
        for (const QString& title : titles)
            std::printf(" %s |", qPrintable(title));
        std::printf("\n|");
        for (const char* alignment = alignments; *alignment; ++alignment)
            std::printf(*alignment == 'r' ? "---:|" : "---|");
        std::printf("\n");
    }

    /// A row of a markdown table, flushed: a long run shows its rows as they come.
    static void printTableRow(const QStringList& cells)
    {
        std::printf("|");
        for (const QString& cell : cells)
            std::printf(cell.isEmpty() ? " |" : " %s |", qPrintable(cell));
        std::printf("\n");
        std::fflush(stdout);
    }

    /// value with a fixed number of decimals, as printf's %.Nf writes it.
    static QString fixed(double value, int decimals) { return QString::asprintf("%.*f", decimals, value); }

private:
    // The models log a line per deleted row: at a million rows that would bury the tables.
    static void dropDebugLines(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }

    // Forks; the child runs child(the pipe's write end) and never returns.
    static Child start(const std::function<void(int)>& child, int capSeconds)
    {
        std::fflush(stdout); // or the child's exit would print what is buffered a second time
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return {};
        const pid_t pid = fork();
        if (pid == 0) {
            close(pipeEnds[0]);
            child(pipeEnds[1]);
        }
        close(pipeEnds[1]);
        Child result;
        if (pid > 0)
            result = collect(pid, pipeEnds[0], capSeconds);
        close(pipeEnds[0]);
        return result;
    }

    // Reads the child's output to its end, or to the cap, then reaps it (killed when it passed the cap).
    static Child collect(pid_t pid, int input, int capSeconds)
    {
        Child result;
        QElapsedTimer timer;
        timer.start();
        pollfd readable{input, POLLIN, 0};
        for (;;) {
            const qint64 leftMs = capSeconds * 1000 - timer.elapsed();
            if (capSeconds > 0 && (leftMs <= 0 || poll(&readable, 1, int(leftMs)) <= 0))
                break;
            char buffer[512];
            const ssize_t got = read(input, buffer, sizeof buffer);
            if (got <= 0) {
                result.finished = got == 0;
                break;
            }
            result.output.append(buffer, int(got));
        }
        if (!result.finished)
            kill(pid, SIGKILL);
        rusage usage{};
        wait4(pid, nullptr, 0, &usage);
        result.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        result.peakMb = usage.ru_maxrss / 1024.0;
        return result;
    }

    std::unique_ptr<QApplication> m_app; // owned; made once the platform is chosen
};

} // namespace bench
