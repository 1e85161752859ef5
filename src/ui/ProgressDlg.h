#pragma once

#include <QDialog>
#include <string>
#include <thread>

#include "jobs/JobState.h"

class QLabel;
class QProgressBar;
class QPushButton;
class CElidedLabel;

// The modal dialog a job runs behind. The work runs on a thread of its own and talks to the
// dialog only through queued notifications; the dialog ends only after the work has
// returned and its thread has been joined.
class CProgressDlg : public QDialog, public IJobContext {
    Q_OBJECT
public:
    CProgressDlg(QWidget* parent, const std::u16string& title, const std::u16string& subtitle,
                 JobFunction job);
    ~CProgressDlg() override;

    // Starts the worker and runs the dialog modally; the dialog's end code.
    int Run();

    bool WasCancelled() const { return m_state.IsCancelled(); }
    // The job's message; valid after Run().
    const std::u16string& Error() const { return m_error; }

    // IJobContext, called on the worker thread.
    bool IsCancelled() const override { return m_state.IsCancelled(); }
    void SetMessage(const std::u16string& text) override;
    void SetProgress(int percent) override;

public slots:
    // Enter without a button never ends the dialog.
    void accept() override {}
    // The cancel button, Escape and the close box: a confirmed request to stop.
    void reject() override;

private:
    void Work();
    void OnMessage();
    void OnProgress();
    void OnFinished();
    void EndAfterJoin();

    JobFunction m_job;
    CJobState m_state;
    std::thread m_worker;
    std::u16string m_error;
    bool m_asking = false;          // the cancel question is open
    bool m_finishDeferred = false;  // the job ended while the question was open

    QLabel* m_titleLabel;
    CElidedLabel* m_subtitleLabel;
    QProgressBar* m_progress;
    QPushButton* m_cancelButton;
};

// Runs job behind a progress dialog owned by parent and returns its result. On failure error
// holds a message that is never empty; on success it is left alone. cancelled, when given,
// receives whether the user confirmed the cancel request, whatever the result.
bool RunJob(QWidget* parent, const std::u16string& title, const std::u16string& subtitle,
            JobFunction job, std::u16string& error, bool* cancelled);
