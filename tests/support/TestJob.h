#pragma once

#include <string>
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
