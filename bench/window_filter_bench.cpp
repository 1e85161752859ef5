// Filtering from the window against the same filter through the core loop of the command
// line, on the same loaded table in the same run; and the main thread's time per keystroke
// in the WHERE box while that table is shown. Offscreen.
//
//   kalvex_window_filter_bench [--rows N] [--runs N]   (default 10,000,000 rows, 3 runs)
//
// Window: the WHERE text is set, the apply button clicked, and the clock stops once the
// first page of matches is painted: the progress dialog, the job's thread and the page are
// all inside. Core: CDumpSession::PrepareFilter and RunFilter, which kalvex-cli rows and
// export call, with a job context that only answers "not cancelled".
#include <time.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SyntheticDump.h"
#include "filter/RowFilter.h"
#include "store/TableData.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"

namespace {

double CpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// What the command line's job does for the loop: answer the cancel poll, take progress.
class CQuietJob : public IJobContext {
public:
    bool IsCancelled() const override { return m_cancelled.load(std::memory_order_relaxed); }
    void SetMessage(const std::u16string&) override {}
    void SetProgress(int percent) override { m_percent.store(percent, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_percent{0};
};

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;  // the whole process: the job's thread and the main thread
    size_t matches = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t rows = 10'000'000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[++i], nullptr, 10);
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[++i]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALVEX_INIFILE_PATH", "/dev/null");
    QApplication app(argc, argv);
    CKalvexDlg window;
    window.resize(1280, 900);
    window.show();
    QApplication::processEvents();
    auto* where = window.findChild<QLineEdit*>(QString::number(MainId::WhereEdit));
    auto* keyword = window.findChild<QLineEdit*>(QString::number(MainId::KeywordEdit));
    auto* apply = window.findChild<QPushButton*>(QString::number(MainId::ApplyButton));
    auto* grid = window.findChild<QTableView*>(QString::number(MainId::Grid));
    auto* status = window.findChild<QLabel*>(QString::number(MainId::StatusText));

    // Keystrokes into the WHERE box: press and release through the application's filters,
    // then whatever the event loop does for them (the box repaints itself).
    auto typeInto = [&](const std::string& label) {
        where->clear();
        where->setFocus();
        QApplication::processEvents();
        const QString text = QStringLiteral("ca % 7 = 0 AND cb LIKE 'te%' ");
        std::vector<double> wall, cpu;
        for (int round = 0; round < 4; ++round) {
            for (QChar c : text) {
                const auto start = bench::Clock::now();
                const double cpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
                const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
                QApplication::sendEvent(where, &press);
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
                QApplication::sendEvent(where, &release);
                // The box repaints what changed; nothing else is asked to.
                QApplication::processEvents();
                wall.push_back(bench::Seconds(start) * 1e3);
                cpu.push_back(CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0);
            }
            where->clear();
        }
        std::printf(
            "typing (%s): %zu keystrokes, median %.3f ms (main-thread CPU %.3f ms), "
            "worst %.3f ms\n",
            label.c_str(), wall.size(), Median(wall), Median(cpu),
            *std::max_element(wall.begin(), wall.end()));
        return Median(wall);
    };

    // The reader makes a table of however many rows are asked for at the time of opening.
    uint64_t tableRows = 1000;
    window.SetReaderFactory([&tableRows](const std::u16string&, std::u16string&) {
        return std::unique_ptr<IDumpFile>(new bench::CSyntheticDump(tableRows));
    });
    // The box is disabled without a table, so the baseline types beside a small one.
    window.OpenDumpFile(u"synthetic.dump");
    const double typingSmall = typeInto("1000 rows shown");

    tableRows = rows;
    const auto loadStart = bench::Clock::now();
    window.OpenDumpFile(u"synthetic.dump");
    if (!window.GetSession().HasTable()) {
        bench::Fail("kalvex_window_filter_bench", "the table did not load");
    }
    const uint64_t loaded = window.GetSession().GetTableData()->GetRowCount();
    std::printf("loaded %llu rows x %d columns in %.1f s\n",
                static_cast<unsigned long long>(loaded), bench::kColumns,
                bench::Seconds(loadStart));

    struct Filter {
        const char* name;
        const char16_t* where;
        const char16_t* keyword;
    };
    // A condition that reads two columns, and a keyword that reads every cell of every row.
    const Filter filters[] = {
        {"WHERE ca % 7 = 0 AND cb LIKE 'te%'", u"ca % 7 = 0 AND cb LIKE 'te%'", u""},
        {"keyword 東京 + WHERE cc > 30", u"cc > 30", u"東京"},
    };
    for (const Filter& f : filters) {
        std::vector<double> windowWall, coreWall, windowCpu, coreCpu, windowMainCpu;
        size_t windowMatches = 0, coreMatches = 0;
        bool windowFiltered = false;
        for (int run = 0; run < runs; ++run) {
            // Alternate which side goes first, so neither always meets a warm cache.
            for (int side = 0; side < 2; ++side) {
                const bool windowSide = (run + side) % 2 == 0;
                window.RunCommand(32779);  // clear: both sides start from the whole table
                QApplication::processEvents();
                const auto start = bench::Clock::now();
                const double cpu0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
                const double mainCpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
                if (windowSide) {
                    where->setText(QString::fromUtf16(f.where));
                    keyword->setText(QString::fromUtf16(f.keyword));
                    apply->click();
                    grid->viewport()->repaint();
                    QApplication::processEvents();
                    windowWall.push_back(bench::Seconds(start) * 1e3);
                    windowCpu.push_back(CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
                    // What the window itself adds: the main thread's share.
                    windowMainCpu.push_back(CpuMs(CLOCK_THREAD_CPUTIME_ID) - mainCpu0);
                    windowMatches = window.GetSession().GetMatches().size();
                    windowFiltered = window.GetSession().IsFiltered();
                } else {
                    std::unique_ptr<CRowFilter> filter;
                    std::vector<size_t> matches;
                    std::u16string error;
                    CQuietJob job;
                    const CDumpSession& session = window.GetSession();
                    if (!session.PrepareFilter(f.where, f.keyword, filter, error) ||
                        !session.RunFilter(*filter, &job, matches, error)) {
                        bench::Fail("kalvex_window_filter_bench", "the core filter failed");
                    }
                    coreWall.push_back(bench::Seconds(start) * 1e3);
                    coreCpu.push_back(CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
                    coreMatches = matches.size();
                }
            }
        }
        if (windowMatches != coreMatches || !windowFiltered) {
            bench::Fail("kalvex_window_filter_bench", "window %zu matches, core %zu", windowMatches,
                        coreMatches);
        }
        const double bestWindow = *std::min_element(windowWall.begin(), windowWall.end());
        const double bestCore = *std::min_element(coreWall.begin(), coreWall.end());
        std::printf("%s: %zu matches\n", f.name, coreMatches);
        std::printf(
            "  window  best %.0f ms, median %.0f ms, median process CPU %.0f ms "
            "(main thread %.0f ms)\n",
            bestWindow, Median(windowWall), Median(windowCpu), Median(windowMainCpu));
        std::printf("  core    best %.0f ms, median %.0f ms, median process CPU %.0f ms\n",
                    bestCore, Median(coreWall), Median(coreCpu));
        std::printf("  window / core: best %.3f, median %.3f, CPU %.3f  [target <= 1.10]\n",
                    bestWindow / bestCore, Median(windowWall) / Median(coreWall),
                    Median(windowCpu) / Median(coreCpu));
    }
    std::printf("status: %s\n", status->text().toUtf8().constData());

    // Typing while the table and a filtered page of it are shown.
    const double typingLoaded = typeInto(std::to_string(loaded) + " rows shown");
    std::printf("typing beside the large table / beside 1000 rows: %.2f\n",
                typingLoaded / typingSmall);
    window.close();
    return 0;
}
