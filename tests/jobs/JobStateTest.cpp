#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <thread>

#include "jobs/JobState.h"
#include "support/TestJob.h"

TEST(JobStateTest, ProgressIsPassedOnOnlyWhenItChanges) {
    CJobState state;
    // 5, 5, 5, 6 with every notification handled in between: two notifications.
    EXPECT_TRUE(state.StoreProgress(5));
    EXPECT_EQ(state.TakeProgress(), 5);
    EXPECT_FALSE(state.StoreProgress(5));
    EXPECT_FALSE(state.StoreProgress(5));
    EXPECT_TRUE(state.StoreProgress(6));
    EXPECT_EQ(state.TakeProgress(), 6);
    // Nothing new after the take: the next change notifies again.
    EXPECT_TRUE(state.StoreProgress(0));
}

TEST(JobStateTest, NotificationsWaitUntilThePreviousOneIsHandled) {
    CJobState state;
    EXPECT_TRUE(state.StoreProgress(1));
    for (int p = 2; p <= 100; ++p) EXPECT_FALSE(state.StoreProgress(p));
    EXPECT_EQ(state.TakeProgress(), 100);  // the handler shows the latest value

    EXPECT_TRUE(state.StoreMessage(u"一"));
    EXPECT_FALSE(state.StoreMessage(u"二"));
    EXPECT_FALSE(state.StoreMessage(u"三"));
    EXPECT_EQ(state.TakeMessage(), u"三");
    EXPECT_TRUE(state.StoreMessage(u"四"));
    EXPECT_EQ(state.TakeMessage(), u"四");
}

TEST(JobStateTest, FlagsAndResult) {
    CJobState state;
    EXPECT_FALSE(state.IsCancelled());
    EXPECT_FALSE(state.IsFinished());
    state.RequestCancel();
    EXPECT_TRUE(state.IsCancelled());
    state.Finish(false, u"失敗");
    EXPECT_TRUE(state.IsFinished());
    EXPECT_FALSE(state.Succeeded());
    EXPECT_EQ(state.Error(), u"失敗");
}

// A worker storing as fast as it can against a handler that takes now and then: the
// handler always ends with the last value, and every notification is matched by a take.
TEST(JobStateTest, ConcurrentStoresNeverLoseTheLatestValue) {
    CJobState state;
    std::atomic<int> posts{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 200000; ++i) {
            if (state.StoreProgress(i % 101)) posts.fetch_add(1);
            if (state.StoreMessage(std::u16string(1, char16_t(u'a' + i % 26)))) posts.fetch_add(1);
        }
        state.StoreProgress(100);
        state.StoreMessage(u"end");
        done.store(true);
    });
    int takes = 0;
    int percent = -1;
    std::u16string message;
    // The handler side: handle exactly the notifications that were posted.
    while (!done.load() || takes < posts.load()) {
        if (takes < posts.load()) {
            ++takes;
            percent = state.TakeProgress();
            message = state.TakeMessage();
        } else {
            std::this_thread::yield();
        }
    }
    worker.join();
    // Takes re-arm both kinds, so the counts need not match one to one; what matters is
    // that the last stored values were seen after the last notification.
    percent = state.TakeProgress();
    message = state.TakeMessage();
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(message, u"end");
    EXPECT_LT(posts.load(), 400000);  // far fewer notifications than stores
}

TEST(ExecuteJobTest, TurnsEscapingExceptionsIntoMessages) {
    struct Case {
        const char* what;
        JobFunction job;
        bool result;
        std::u16string error;
    } cases[] = {
        {"success", [](IJobContext&, std::u16string&) { return true; }, true, u""},
        {"failure with message",
         [](IJobContext&, std::u16string& e) {
             e = u"読めません";
             return false;
         },
         false, u"読めません"},
        {"standard exception",
         [](IJobContext&, std::u16string&) -> bool { throw std::runtime_error("bad allocation"); },
         false, u"予期しないエラーが発生しました: bad allocation"},
        {"8-bit description",
         [](IJobContext&, std::u16string&) -> bool { throw std::runtime_error("\xE9t\xE9"); },
         false, u"予期しないエラーが発生しました: \u00E9t\u00E9"},
        {"bad_alloc", [](IJobContext&, std::u16string&) -> bool { throw std::bad_alloc(); }, false,
         u"予期しないエラーが発生しました: std::bad_alloc"},
        {"other exception", [](IJobContext&, std::u16string&) -> bool { throw 42; }, false,
         u"予期しないエラーが発生しました。"},
        {"empty job", JobFunction(), false, u"予期しないエラーが発生しました: bad_function_call"},
        // A message written before the throw is replaced, not appended to.
        {"message then throw",
         [](IJobContext&, std::u16string& e) -> bool {
             e = u"途中";
             throw std::logic_error("x");
         },
         false, u"予期しないエラーが発生しました: x"},
    };
    for (const Case& c : cases) {
        TestJob context;
        std::u16string error = u"stale";
        EXPECT_EQ(ExecuteJob(c.job, context, error), c.result) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}
