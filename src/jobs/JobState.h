#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "jobs/JobContext.h"

// What a job's worker thread and the user-interface thread share while the job runs.
// The worker stores the latest message and percentage here and is told whether it must
// notify the user-interface thread: only when no notification of that kind is still
// waiting to be handled, so a chatty job never floods the event queue. The handler takes
// the latest value, which also re-arms the notification.
class CJobState {
public:
    // Worker side. True when the caller must post a notification.
    bool StoreMessage(const std::u16string& text);
    // Equal consecutive percentages are dropped (true only for a change with nothing pending).
    bool StoreProgress(int percent);
    // Stores the job's result and then sets the finished flag; once, at the end of the work.
    void Finish(bool succeeded, std::u16string error);

    // User-interface side.
    std::u16string TakeMessage();
    int TakeProgress();
    void RequestCancel() { m_cancelled.store(true); }

    bool IsCancelled() const { return m_cancelled.load(); }
    bool IsFinished() const { return m_finished.load(); }
    // Valid once IsFinished() is true and the worker has been joined.
    bool Succeeded() const { return m_succeeded; }
    const std::u16string& Error() const { return m_error; }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_finished{false};
    bool m_succeeded = false;
    std::u16string m_error;

    // Worker only: the last percentage passed on.
    int m_lastPercent = -1;

    std::mutex m_lock;  // guards everything below
    std::u16string m_pendingMessage;
    bool m_messagePosted = false;
    int m_pendingPercent = 0;
    bool m_progressPosted = false;
};

// Runs the work the way the worker thread does: an escaping exception becomes the job's
// failure message. Returns the job's result; error holds its message.
bool ExecuteJob(const JobFunction& job, IJobContext& context, std::u16string& error);

inline constexpr const char16_t* kUnexpectedErrorPrefix = u"予期しないエラーが発生しました: ";
inline constexpr const char16_t* kUnexpectedErrorMessage = u"予期しないエラーが発生しました。";
