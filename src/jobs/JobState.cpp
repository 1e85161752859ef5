#include "jobs/JobState.h"

#include <cstring>
#include <exception>

bool CJobState::StoreMessage(const std::u16string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pendingMessage = text;
    const bool post = !m_messagePosted;
    m_messagePosted = true;
    return post;
}

bool CJobState::StoreProgress(int percent) {
    if (percent == m_lastPercent) return false;
    m_lastPercent = percent;
    std::lock_guard<std::mutex> guard(m_lock);
    m_pendingPercent = percent;
    const bool post = !m_progressPosted;
    m_progressPosted = true;
    return post;
}

void CJobState::Finish(bool succeeded, std::u16string error) {
    m_succeeded = succeeded;
    m_error = std::move(error);
    m_finished.store(true);
}

std::u16string CJobState::TakeMessage() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_messagePosted = false;
    return m_pendingMessage;
}

int CJobState::TakeProgress() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_progressPosted = false;
    return m_pendingPercent;
}

bool ExecuteJob(const JobFunction& job, IJobContext& context, std::u16string& error) {
    error.clear();
    try {
        // An empty job throws std::bad_function_call, reported like any other exception.
        return job(context, error);
    } catch (const std::exception& e) {
        // Each byte of the description becomes one character (they are ASCII in practice).
        const char* what = e.what();
        error = kUnexpectedErrorPrefix;
        for (size_t i = 0, n = std::strlen(what); i < n; ++i) {
            error += static_cast<char16_t>(static_cast<unsigned char>(what[i]));
        }
    } catch (...) {
        error = kUnexpectedErrorMessage;
    }
    return false;
}
