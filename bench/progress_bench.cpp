// How the window answers while a long job runs: opens a large dump in the main window
// (offscreen) and, while the scan and then the first table's load run behind the progress
// dialog, measures
//   - the event loop: the longest gap between ticks of a 5 ms timer on the main thread;
//   - repainting: the longest gap between paints of the progress bar while it advances;
//   - the cancel button: from a posted mouse click to the cancel question being asked,
//     and, for the last click of the scan answered Yes, until the dialog has closed.
//
//   kalvex_progress_bench DUMP [--clicks N]     (N clicks per job, default 5; a 1 GB dump)
#include <QApplication>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ui/KalvexDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

namespace {

double MsSince(bench::Clock::time_point from) {
    return bench::Seconds(from) * 1e3;
}

// What one job's dialog did while it was open.
struct JobFigures {
    double openMs = 0;
    double longestTickGapMs = 0;
    int progressPaints = 0;
    double longestPaintGapMs = 0;
    std::vector<double> clickToQuestionMs;
    double yesToClosedMs = -1;  // -1: never cancelled
};

// Answers the cancel question: No, except for the click the probe marks as the last one.
class CBenchPrompt : public IPrompt {
public:
    bool answerYes = false;
    bench::Clock::time_point clickPosted;
    JobFigures* figures = nullptr;
    bench::Clock::time_point yesAt;

    void ShowMessage(QWidget*, const QString& text, PromptIcon) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    bool AskYesNo(QWidget*, const QString&) override {
        if (figures != nullptr) figures->clickToQuestionMs.push_back(MsSince(clickPosted));
        if (answerYes) yesAt = bench::Clock::now();
        return answerYes;
    }
    QString GetOpenFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString GetSaveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
};

// Watches the progress dialogs from the main thread's event loop.
class CProbe : public QObject {
public:
    CProbe(CBenchPrompt& prompt, int clicks, bool cancelScan)
        : m_prompt(prompt), m_clicks(clicks), m_cancelScan(cancelScan) {
        m_tick.setInterval(5);
        connect(&m_tick, &QTimer::timeout, this, [this] { OnTick(); });
        m_tick.start();
        qApp->installEventFilter(this);
    }
    ~CProbe() override { qApp->removeEventFilter(this); }

    std::vector<JobFigures> jobs;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_dialog != nullptr && watched == m_bar) {
            const auto now = bench::Clock::now();
            if (m_bar->value() != m_paintedValue) {
                JobFigures& job = jobs.back();
                if (job.progressPaints > 0) {
                    job.longestPaintGapMs =
                        std::max(job.longestPaintGapMs, bench::Seconds(m_lastPaint, now) * 1e3);
                }
                ++job.progressPaints;
                m_lastPaint = now;
                m_paintedValue = m_bar->value();
            }
        }
        return false;
    }

private:
    void OnTick() {
        const auto now = bench::Clock::now();
        auto* dialog = qobject_cast<CProgressDlg*>(QApplication::activeModalWidget());
        if (dialog != m_dialog) {
            if (m_dialog != nullptr) jobs.back().openMs = MsSince(m_openedAt);
            if (m_prompt.answerYes && jobs.back().yesToClosedMs < 0) {
                jobs.back().yesToClosedMs = bench::Seconds(m_prompt.yesAt, now) * 1e3;
            }
            m_dialog = dialog;
            m_prompt.figures = nullptr;
            m_prompt.answerYes = false;
            if (dialog != nullptr) {
                jobs.emplace_back();
                m_prompt.figures = &jobs.back();
                m_bar = dialog->findChild<QProgressBar*>();
                m_paintedValue = -1;
                m_openedAt = now;
                m_nextClick = now + std::chrono::milliseconds(300);
                m_clicksDone = 0;
            }
        } else if (dialog != nullptr) {
            JobFigures& job = jobs.back();
            job.longestTickGapMs =
                std::max(job.longestTickGapMs, bench::Seconds(m_lastTick, now) * 1e3);
            if (m_clicksDone < m_clicks && now >= m_nextClick) ClickCancel(dialog);
        }
        m_lastTick = now;
    }

    void ClickCancel(CProgressDlg* dialog) {
        auto* button = dialog->findChild<QPushButton*>();
        if (button == nullptr || !button->isEnabled()) return;
        ++m_clicksDone;
        // Only the scan (the first job) is cancelled, on its last click.
        m_prompt.answerYes = m_cancelScan && jobs.size() == 1 && m_clicksDone == m_clicks;
        const QPointF at = QRectF(button->rect()).center();
        const QPointF global = button->mapToGlobal(at);
        m_prompt.clickPosted = bench::Clock::now();
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                    Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier));
        m_nextClick = bench::Clock::now() + std::chrono::milliseconds(400);
    }

    CBenchPrompt& m_prompt;
    int m_clicks;
    bool m_cancelScan;
    QTimer m_tick;
    CProgressDlg* m_dialog = nullptr;
    QProgressBar* m_bar = nullptr;
    int m_paintedValue = -1;
    int m_clicksDone = 0;
    bench::Clock::time_point m_lastTick = bench::Clock::now();
    bench::Clock::time_point m_lastPaint;
    bench::Clock::time_point m_openedAt;
    bench::Clock::time_point m_nextClick;
};

void Report(const char* name, const JobFigures& job) {
    std::vector<double> clicks = job.clickToQuestionMs;
    std::sort(clicks.begin(), clicks.end());
    const double worstClick = clicks.empty() ? -1 : clicks.back();
    std::printf(
        "%-6s open %.0f ms; longest event-loop gap %.1f ms; %d progress repaints, "
        "longest gap %.1f ms\n",
        name, job.openMs, job.longestTickGapMs, job.progressPaints, job.longestPaintGapMs);
    std::printf("       %zu clicks answered, worst click-to-question %.1f ms", clicks.size(),
                worstClick);
    if (job.yesToClosedMs >= 0) std::printf("; Yes to dialog closed %.1f ms", job.yesToClosedMs);
    const bool met = !clicks.empty() && worstClick < 100 && job.longestTickGapMs < 100 &&
                     (job.yesToClosedMs < 0 || job.yesToClosedMs < 100);
    std::printf("  [target < 100 ms: %s]\n", met ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kalvex_progress_bench DUMP [--clicks N]\n");
        return 2;
    }
    const std::u16string path = FromQString(QString::fromLocal8Bit(argv[1]));
    int clicks = 5;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--clicks") == 0) clicks = std::atoi(argv[++i]);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALVEX_INIFILE_PATH", "/dev/null");
    QApplication app(argc, argv);
    CBenchPrompt prompt;
    CPromptScope scope(prompt);

    // First run: clicks answered No, the last one Yes, so the scan is cancelled.
    // Second run: every click answered No, so the scan and then the table's load finish.
    for (const bool cancelScan : {true, false}) {
        CKalvexDlg window;
        window.resize(1280, 900);
        window.show();
        QApplication::processEvents();
        CProbe probe(prompt, clicks, cancelScan);
        const auto start = bench::Clock::now();
        window.OpenDumpFile(path);
        std::printf("%s: OpenDumpFile returned after %.2f s, %s\n",
                    cancelScan ? "cancelled scan" : "full open", bench::Seconds(start),
                    window.GetSession().GetDump() != nullptr ? "dump open" : "no dump open");
        QApplication::processEvents();
        const char* names[] = {"scan", "load"};
        for (size_t i = 0; i < probe.jobs.size() && i < 2; ++i) Report(names[i], probe.jobs[i]);
        if (probe.jobs.empty()) std::printf("no progress dialog was seen\n");
        window.close();
    }
    return 0;
}
