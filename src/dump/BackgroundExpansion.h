#pragma once

#include <string>
#include <thread>

#include "dump/GrowingFile.h"
#include "dump/StreamDecoder.h"
#include "jobs/JobContext.h"

// Expands a compressed file into another on a thread of its own, so that a reader can
// follow the output while it grows (BufferedFileReader::OpenGrowing) and the two run at
// once. Only the reader's thread talks to the job: the expansion merely polls it for
// cancellation, and its progress reaches the job through ReaderJob.
class CBackgroundExpansion {
public:
    // job may be null.
    explicit CBackgroundExpansion(IJobContext* job);
    // Stops an expansion that still runs; the thread is always joined.
    ~CBackgroundExpansion();
    CBackgroundExpansion(const CBackgroundExpansion&) = delete;
    CBackgroundExpansion& operator=(const CBackgroundExpansion&) = delete;

    // Starts writing the content of path to outPath, as ExpandCompressedToFile does.
    void Start(const std::u16string& path, StreamFormat format, const std::u16string& outPath);
    bool Started() const { return m_thread.joinable() || m_joined; }
    CGrowingFile& File() { return m_file; }

    // The job the reader of the output reports to (null without a job). While the
    // expansion runs, the progress shown follows the expansion (CGrowingFile::ReaderPercent)
    // and the reader's messages wait until it has ended, so the user sees the expansion,
    // then the reading.
    IJobContext* ReaderJob() { return m_job != nullptr ? &m_readerJob : nullptr; }

    // Tells the expansion to stop (it deletes its output) and waits for it.
    void Stop();
    // Waits for the end. False when the expansion failed on its own: error is then its
    // message (a stop asked for by Stop is not such a failure).
    bool Join(std::u16string& error);

private:
    // What the expansion thread sees of the job.
    class CExpansionJob : public IJobContext {
    public:
        explicit CExpansionJob(CBackgroundExpansion& owner) : m_owner(owner) {}
        bool IsCancelled() const override;
        void SetMessage(const std::u16string&) override {}
        void SetProgress(int percent) override { m_owner.m_file.SetPercent(percent); }

    private:
        CBackgroundExpansion& m_owner;
    };

    class CReaderJob : public IJobContext {
    public:
        explicit CReaderJob(CBackgroundExpansion& owner) : m_owner(owner) {}
        bool IsCancelled() const override { return m_owner.m_job->IsCancelled(); }
        void SetMessage(const std::u16string& text) override;
        void SetProgress(int percent) override;

    private:
        // Hands over the message that waited for the expansion's end.
        bool ExpansionRunning();

        CBackgroundExpansion& m_owner;
        std::u16string m_message;
        bool m_messageWaiting = false;
    };

    void Run(std::u16string path, StreamFormat format, std::u16string outPath);

    IJobContext* m_job;
    CGrowingFile m_file;
    CExpansionJob m_expansionJob{*this};
    CReaderJob m_readerJob{*this};
    std::thread m_thread;
    bool m_joined = false;
};
