#include "ui/ProgressDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <system_error>

#include "ui/DialogUnits.h"
#include "ui/ElidedLabel.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const char16_t* const kThreadFailedMessage = u"処理スレッドを開始できませんでした。";

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parent, const std::u16string& title,
                           const std::u16string& subtitle, JobFunction job)
    : QDialog(parent), m_job(std::move(job)) {
    setWindowTitle(u"Kalvex"_s);
    setObjectName(u"134"_s);
    // A caption with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    m_titleLabel = new QLabel(ToQString(title), this);
    m_titleLabel->setObjectName(u"1130"_s);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_subtitleLabel = new CElidedLabel(this);
    m_subtitleLabel->setObjectName(u"1131"_s);
    m_subtitleLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_subtitleLabel->SetFullText(ToQString(subtitle));

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"1132"_s);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_cancelButton = new QPushButton(u"処理中止"_s, this);
    m_cancelButton->setObjectName(u"2"_s);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgressDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_subtitleLabel);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    resize(DialogUnitsToPixels(this, 380, 100).expandedTo(sizeHint()));
    m_cancelButton->setFocus();
}

CProgressDlg::~CProgressDlg() {
    // Run() always joins; this is only for a dialog destroyed in an unusual way.
    if (m_worker.joinable()) m_worker.join();
}

int CProgressDlg::Run() {
    try {
        m_worker = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        m_error = kThreadFailedMessage;
        return QDialog::Rejected;
    }
    // The finish notification can only be handled inside exec()'s event loop, so the
    // dialog cannot miss it even when the job ends at once.
    return exec();
}

void CProgressDlg::Work() {
    std::u16string error;
    const bool succeeded = ExecuteJob(m_job, *this, error);
    m_state.Finish(succeeded, std::move(error));
    QMetaObject::invokeMethod(this, &CProgressDlg::OnFinished, Qt::QueuedConnection);
}

void CProgressDlg::SetMessage(const std::u16string& text) {
    if (m_state.StoreMessage(text)) {
        QMetaObject::invokeMethod(this, &CProgressDlg::OnMessage, Qt::QueuedConnection);
    }
}

void CProgressDlg::SetProgress(int percent) {
    if (m_state.StoreProgress(percent)) {
        QMetaObject::invokeMethod(this, &CProgressDlg::OnProgress, Qt::QueuedConnection);
    }
}

void CProgressDlg::OnMessage() {
    m_titleLabel->setText(ToQString(m_state.TakeMessage()));
}

void CProgressDlg::OnProgress() {
    m_progress->setValue(m_state.TakeProgress());
}

void CProgressDlg::OnFinished() {
    if (m_asking) {
        // Ending under the open question would leave it asking about a closed dialog.
        m_finishDeferred = true;
        return;
    }
    EndAfterJoin();
}

void CProgressDlg::EndAfterJoin() {
    if (m_worker.joinable()) m_worker.join();
    m_error = m_state.Error();
    QDialog::done(m_state.Succeeded() ? QDialog::Accepted : QDialog::Rejected);
}

void CProgressDlg::reject() {
    if (m_state.IsFinished() || m_asking) return;
    m_asking = true;
    const bool yes = CurrentPrompt().AskYesNo(this, u"処理を中止しますか？"_s);
    m_asking = false;
    if (m_finishDeferred) {
        // The job ended while the question was open: there is nothing left to stop.
        EndAfterJoin();
        return;
    }
    // A job that ended meanwhile has nothing left to stop; its notification ends the dialog.
    if (!yes || m_state.IsFinished()) return;
    m_state.RequestCancel();
    m_cancelButton->setEnabled(false);
    m_titleLabel->setText(u"中止しています..."_s);
}

bool RunJob(QWidget* parent, const std::u16string& title, const std::u16string& subtitle,
            JobFunction job, std::u16string& error, bool* cancelled) {
    CProgressDlg dialog(parent, title, subtitle, std::move(job));
    const int result = dialog.Run();
    if (cancelled != nullptr) *cancelled = dialog.WasCancelled();
    if (result == QDialog::Accepted) return true;
    error = dialog.Error().empty() ? std::u16string(kCancelledMessage) : dialog.Error();
    return false;
}
