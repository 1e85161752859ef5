// Main-thread cost of the data grid with a large table loaded: showing a page and moving
// to the next and the last page, painted, on the offscreen platform.
//
//   kalvex_grid_bench [--rows N]      (default 10,000,000 rows of 20 columns)
#include <time.h>

#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SyntheticDump.h"
#include "jobs/JobContext.h"
#include "store/TableData.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Sample {
    double wallMs;
    double cpuMs;
};

}  // namespace

int main(int argc, char** argv) {
    uint64_t rows = 10'000'000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[++i], nullptr, 10);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The bench's own settings: page size 1,000, the template's window size.
    qputenv("KALVEX_INIFILE_PATH", "/dev/null");
    QApplication app(argc, argv);
    CKalvexDlg window;
    window.resize(1280, 900);
    window.show();
    QApplication::processEvents();
    window.SetReaderFactory([rows](const std::u16string&, std::u16string&) {
        return std::unique_ptr<IDumpFile>(new bench::CSyntheticDump(rows));
    });

    const auto loadStart = bench::Clock::now();
    window.OpenDumpFile(u"synthetic.dump");
    const double loadSeconds = bench::Seconds(loadStart);
    if (!window.GetSession().HasTable()) bench::Fail("kalvex_grid_bench", "the table did not load");
    std::printf("loaded %llu rows x %d columns in %.1f s\n",
                static_cast<unsigned long long>(window.GetSession().GetTableData()->GetRowCount()),
                bench::kColumns, loadSeconds);

    auto* grid = window.findChild<QTableView*>(QString::number(MainId::Grid));
    auto measure = [&](int command) {
        const auto start = bench::Clock::now();
        const double cpu = ThreadCpuMs();
        window.RunCommand(command);
        // Paint now, as the screen would: only the rows in sight are decoded.
        grid->viewport()->repaint();
        QApplication::processEvents();
        return Sample{bench::Seconds(start) * 1e3, ThreadCpuMs() - cpu};
    };
    struct Step {
        const char* name;
        int command;
    };
    const Step steps[] = {{"first page", 32780}, {"next page", 32782}, {"last page", 32783}};
    for (const Step& step : steps) {
        std::vector<Sample> samples;
        for (int i = 0; i < 15; ++i) {
            window.RunCommand(i % 2 == 0 ? 32780 : 32783);  // start away from the target
            samples.push_back(measure(step.command));
        }
        std::sort(samples.begin(), samples.end(),
                  [](const Sample& a, const Sample& b) { return a.wallMs < b.wallMs; });
        const Sample median = samples[samples.size() / 2];
        const Sample worst = samples.back();
        std::printf(
            "%-10s  median %.2f ms (main-thread CPU %.2f ms), worst %.2f ms  [target < 50 ms]\n",
            step.name, median.wallMs, median.cpuMs, worst.wallMs);
    }
    window.close();
    return 0;
}
