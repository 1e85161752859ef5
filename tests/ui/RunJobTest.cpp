#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <stdexcept>

#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "ui/ElidedLabel.h"
#include "ui/ProgressDlg.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kAsk = u"処理を中止しますか？"_s;

// Set by a thread-local object's destructor at the very end of the worker thread, a little
// late on purpose: a runner that returned without joining would see it still false.
std::atomic<bool> g_workerExited{false};

struct ExitMarker {
    ~ExitMarker() {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        g_workerExited.store(true);
    }
};

void MarkWorkerExit() {
    thread_local ExitMarker marker;
    (void)marker;
}

struct JobResult {
    bool ok = false;
    std::u16string error = u"untouched";
    bool cancelled = true;
};

JobResult RunTracked(JobFunction job) {
    g_workerExited.store(false);
    JobResult r;
    auto wrapped = [job](IJobContext& context, std::u16string& error) -> bool {
        MarkWorkerExit();
        return job(context, error);
    };
    r.ok = RunJob(nullptr, u"ダンプファイルを走査しています", u"/tmp/some/dump.sql", wrapped,
                  r.error, &r.cancelled);
    EXPECT_TRUE(g_workerExited.load()) << "RunJob returned before the worker ended";
    return r;
}

}  // namespace

TEST(RunJobTest, ResultsOfFinishedJobs) {
    struct Case {
        const char* what;
        JobFunction job;
        bool ok;
        std::u16string error;
    } cases[] = {
        {"success", [](IJobContext&, std::u16string&) { return true; }, true, u"untouched"},
        {"failure",
         [](IJobContext&, std::u16string& e) {
             e = u"テーブルを読めません。";
             return false;
         },
         false, u"テーブルを読めません。"},
        {"failure without a message", [](IJobContext&, std::u16string&) { return false; }, false,
         u"処理が中止されました。"},
        {"standard exception",
         [](IJobContext&, std::u16string&) -> bool { throw std::runtime_error("bad allocation"); },
         false, u"予期しないエラーが発生しました: bad allocation"},
        {"other exception", [](IJobContext&, std::u16string&) -> bool { throw 7; }, false,
         u"予期しないエラーが発生しました。"},
    };
    for (const Case& c : cases) {
        const JobResult r = RunTracked(c.job);
        EXPECT_EQ(r.ok, c.ok) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_FALSE(r.cancelled) << c.what;
    }
    // An empty job fails like a throwing one, through the worker as well.
    std::u16string error;
    bool cancelled = true;
    EXPECT_FALSE(RunJob(nullptr, u"t", u"s", JobFunction(), error, &cancelled));
    EXPECT_EQ(error, u"予期しないエラーが発生しました: bad_function_call");
    EXPECT_FALSE(cancelled);
}

TEST(RunJobTest, ShowsTitleSubtitleProgressAndTheLatestMessage) {
    std::atomic<bool> started{false};
    std::atomic<bool> seen{false};
    QString title, subtitle, button;
    WhenModalShown<CProgressDlg>([&](CProgressDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), u"Kalvex"_s);
        title = Child<QLabel>(dlg, "1130")->text();
        subtitle = Child<CElidedLabel>(dlg, "1131")->FullText();
        button = Child<QPushButton>(dlg, "2")->text();
        auto* label = Child<QLabel>(dlg, "1130");
        auto* bar = Child<QProgressBar>(dlg, "1132");
        started.store(true);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        seen.store(
            PollUntil([&] { return label->text() == u"9999 件目"_s && bar->value() == 40; }));
    });
    const JobResult r = RunTracked([&](IJobContext& job, std::u16string& error) {
        if (!WaitOnWorker([&] { return started.load(); })) return false;
        // Many quick messages: the dialog shows the last one.
        for (int i = 0; i < 10000; ++i) job.SetMessage(FromQString(QString::number(i)) + u" 件目");
        for (int p = 0; p <= 40; ++p) job.SetProgress(p);
        if (!WaitOnWorker([&] { return seen.load(); })) {
            error = u"the dialog never showed the progress";
            return false;
        }
        return true;
    });
    EXPECT_TRUE(r.ok) << QString(ToQString(r.error)).toStdString();
    EXPECT_EQ(title, u"ダンプファイルを走査しています"_s);
    EXPECT_EQ(subtitle, u"/tmp/some/dump.sql"_s);
    EXPECT_EQ(button, u"処理中止"_s);
}

// A job that runs until it is cancelled, as a scan of a huge dump would.
static bool WaitForCancel(IJobContext& job, std::u16string& error) {
    if (!WaitOnWorker([&] { return job.IsCancelled(); })) {
        error = u"never cancelled";
        return false;
    }
    error = u"処理が中止されました。";
    return false;
}

TEST(RunJobTest, CancelAfterConfirmation) {
    CScriptedPrompt prompt;
    prompt.ExpectYesNo(kAsk, true);
    QString shownAfter;
    bool buttonEnabledAfter = true;
    WhenModalShown<CProgressDlg>([&](CProgressDlg* dlg) {
        auto* button = Child<QPushButton>(dlg, "2");
        button->click();
        buttonEnabledAfter = button->isEnabled();
        shownAfter = Child<QLabel>(dlg, "1130")->text();
    });
    const JobResult r = RunTracked(WaitForCancel);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.error, u"処理が中止されました。");
    EXPECT_EQ(shownAfter, u"中止しています..."_s);
    EXPECT_FALSE(buttonEnabledAfter);
}

TEST(RunJobTest, AnsweringNoKeepsTheJobRunning) {
    CScriptedPrompt prompt;
    // The button, Escape and the close box each ask; No leaves everything as it was.
    prompt.ExpectYesNo(kAsk, false).ExpectYesNo(kAsk, false).ExpectYesNo(kAsk, false);
    std::atomic<bool> done{false};
    WhenModalShown<CProgressDlg>([&](CProgressDlg* dlg) {
        auto* button = Child<QPushButton>(dlg, "2");
        auto* label = Child<QLabel>(dlg, "1130");
        button->click();
        QTest::keyClick(dlg, Qt::Key_Escape);
        dlg->close();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(label->text(), u"絞り込んでいます"_s);
        // Enter does nothing either (the focus is not on the button here).
        dlg->setFocus();
        dlg->accept();
        EXPECT_TRUE(dlg->isVisible());
        done.store(true);
    });
    bool cancelled = true;
    std::u16string error;
    const bool ok = RunJob(
        nullptr, u"絞り込んでいます", u"public.t",
        [&](IJobContext& job, std::u16string&) {
            return WaitOnWorker([&] { return done.load(); }) && !job.IsCancelled();
        },
        error, &cancelled);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(prompt.Remaining(), 0u);
}

TEST(RunJobTest, JobEndingWhileTheQuestionIsOpenEndsTheDialogAfterTheAnswer) {
    CScriptedPrompt prompt;
    std::atomic<bool> asked{false};
    std::atomic<bool> jobReturned{false};
    CProgressDlg* shown = nullptr;
    prompt.ExpectYesNo(kAsk, true, [&] {
        asked.store(true);
        // The job returns and its finish notification arrives under the open question.
        EXPECT_TRUE(PollUntil([&] { return jobReturned.load() && g_workerExited.load(); }));
        QApplication::processEvents();
        EXPECT_TRUE(shown->isVisible());
    });
    WhenModalShown<CProgressDlg>([&](CProgressDlg* dlg) {
        shown = dlg;
        Child<QPushButton>(dlg, "2")->click();
    });
    const JobResult r = RunTracked([&](IJobContext&, std::u16string&) {
        const bool ok = WaitOnWorker([&] { return asked.load(); });
        jobReturned.store(true);
        return ok;
    });
    // Nothing was left to stop: the job's own result stands.
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.cancelled);
}

TEST(RunJobTest, SucceedingAfterCancelReturnsTrueWithTheFlagSet) {
    CScriptedPrompt prompt;
    prompt.ExpectYesNo(kAsk, true);
    WhenModalShown<CProgressDlg>([&](CProgressDlg* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
    const JobResult r = RunTracked([](IJobContext& job, std::u16string&) {
        return WaitOnWorker([&] { return job.IsCancelled(); });
    });
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.error, u"untouched");
}

TEST(ElidedLabelTest, ShortensLongPathsInTheMiddleAndFitsTheRest) {
    CElidedLabel label;
    label.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label.resize(300, 30);
    label.show();
    const QString path =
        u"/home/someone/長いフォルダ名/さらに長いフォルダ名/バックアップ/2024年/最後のファイル.dump"_s;
    label.SetFullText(path);
    const int room = label.contentsRect().width() - label.fontMetrics().horizontalAdvance(u'x');
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), room);
    EXPECT_TRUE(label.text().startsWith(u"/home"_s));
    EXPECT_TRUE(label.text().endsWith(u".dump"_s));
    EXPECT_TRUE(label.text().contains(QChar(0x2026)));
    EXPECT_EQ(label.FullText(), path);
    EXPECT_EQ(label.toolTip(), path);
    label.resize(2000, 30);
    EXPECT_EQ(label.text(), path);  // room enough: the whole path
}
