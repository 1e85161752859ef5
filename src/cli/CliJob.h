#pragma once

#include <signal.h>

#include <atomic>
#include <string>

#include "jobs/JobContext.h"

// The job context of the command line: progress on stderr when it is a terminal, and
// Ctrl+C (SIGINT), SIGTERM and SIGHUP as the cancel request while it lives.
class CCliJobContext : public IJobContext {
public:
    CCliJobContext();
    ~CCliJobContext() override;
    CCliJobContext(const CCliJobContext&) = delete;
    CCliJobContext& operator=(const CCliJobContext&) = delete;

    bool IsCancelled() const override;
    void SetMessage(const std::u16string& text) override;
    void SetProgress(int percent) override;

    // Clears the progress line before other output goes to stderr.
    void EndProgress();

    // Clears the progress line, prints the error (the cancel message when it is empty) and
    // gives the exit code of a failed command.
    int Fail(const std::u16string& error);

private:
    void Draw();

    bool m_terminal = false;
    bool m_drawn = false;
    std::u16string m_message;
    int m_percent = -1;
    struct sigaction m_previous[3] = {};
};
