#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "jobs/JobContext.h"

// A job context that records what the work reports and can cancel after a number of polls.
class TestJob : public IJobContext {
public:
    explicit TestJob(int cancelAfterPolls = -1) : m_cancelAfter(cancelAfterPolls) {}
    bool IsCancelled() const override {
        ++polls;
        return m_cancelAfter >= 0 && polls > m_cancelAfter;
    }
    void SetMessage(const std::u16string& text) override { messages.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }

    mutable int polls = 0;
    std::vector<std::u16string> messages;
    std::vector<int> progress;

private:
    int m_cancelAfter;
};

// A job whose cancellation may be polled from any thread, as the job runner's may. Its
// reports must all come from the thread that made it: the others are only counted.
class ThreadedTestJob : public IJobContext {
public:
    explicit ThreadedTestJob(int cancelAfterPolls = -1) : m_cancelAfter(cancelAfterPolls) {}
    bool IsCancelled() const override {
        const int poll = ++polls;
        return m_cancelAfter >= 0 && poll > m_cancelAfter;
    }
    void SetMessage(const std::u16string& text) override {
        if (Foreign()) return;
        messages.push_back(text);
    }
    void SetProgress(int percent) override {
        if (Foreign()) return;
        progress.push_back(percent);
    }

    mutable std::atomic<int> polls{0};
    std::atomic<int> foreignReports{0};
    std::vector<std::u16string> messages;
    std::vector<int> progress;

private:
    bool Foreign() {
        if (std::this_thread::get_id() == m_owner) return false;
        ++foreignReports;
        return true;
    }

    int m_cancelAfter;
    std::thread::id m_owner = std::this_thread::get_id();
};
