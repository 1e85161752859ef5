#include "dump/BackgroundExpansion.h"

#include "dump/CompressedFile.h"
#include "platform/File.h"

CBackgroundExpansion::CBackgroundExpansion(IJobContext* job) : m_job(job) {
    m_file.SetReaderJob(job);
}

CBackgroundExpansion::~CBackgroundExpansion() {
    Stop();
}

void CBackgroundExpansion::Start(const std::u16string& path, StreamFormat format,
                                 const std::u16string& outPath) {
    m_thread = std::thread(&CBackgroundExpansion::Run, this, path, format, outPath);
}

void CBackgroundExpansion::Run(std::u16string path, StreamFormat format, std::u16string outPath) {
    try {
        std::u16string error;
        ExpandCompressedToFile(path, format, outPath, &m_expansionJob, error, &m_file);
    } catch (...) {
        // The reader must not wait for bytes that never come; nothing may be left behind.
        m_file.Fail(u"一時ファイルの書き込みに失敗しました(" + outPath + u")。");
        platform::DeleteFile(outPath);
    }
}

void CBackgroundExpansion::Stop() {
    if (!m_thread.joinable()) return;
    m_file.Abandon();
    m_thread.join();
    m_joined = true;
}

bool CBackgroundExpansion::Join(std::u16string& error) {
    if (m_thread.joinable()) {
        m_thread.join();
        m_joined = true;
    }
    return !m_file.Failed(error);
}

bool CBackgroundExpansion::CExpansionJob::IsCancelled() const {
    return m_owner.m_file.Abandoned() || (m_owner.m_job != nullptr && m_owner.m_job->IsCancelled());
}

bool CBackgroundExpansion::CReaderJob::ExpansionRunning() {
    if (!m_owner.m_file.Ended()) return true;
    if (m_messageWaiting) {
        m_messageWaiting = false;
        m_owner.m_job->SetMessage(m_message);
    }
    return false;
}

void CBackgroundExpansion::CReaderJob::SetMessage(const std::u16string& text) {
    if (ExpansionRunning()) {
        m_message = text;
        m_messageWaiting = true;
    } else {
        m_owner.m_job->SetMessage(text);
    }
}

void CBackgroundExpansion::CReaderJob::SetProgress(int percent) {
    if (ExpansionRunning()) {
        m_owner.m_job->SetProgress(m_owner.m_file.ReaderPercent());
    } else {
        m_owner.m_job->SetProgress(percent);
    }
}
