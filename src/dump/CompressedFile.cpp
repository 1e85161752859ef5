#include "dump/CompressedFile.h"

#include <algorithm>
#include <cstdint>

#include "dump/BufferedFileReader.h"
#include "dump/FileSink.h"
#include "dump/FrameStream.h"
#include "dump/GrowingFile.h"
#include "dump/GzipFile.h"
#include "dump/PipelineSink.h"
#include "jobs/JobContext.h"
#include "platform/File.h"

namespace {

constexpr size_t kInputChunk = size_t{256} << 10;

bool IsCancelled(IJobContext* job) {
    return job != nullptr && job->IsCancelled();
}

void Progress(IJobContext* job, const BufferedFileReader& reader) {
    if (job == nullptr) return;
    const uint64_t size = reader.FileSize() < 2 ? 1 : reader.FileSize();
    job->SetProgress(static_cast<int>(reader.Position() * 100 / size));
}

bool ReadFrames(BufferedFileReader& reader, CFrameStream::Kind kind, IDataSink& sink,
                IJobContext* job, std::u16string& error) {
    CFrameStream stream(kind);
    if (!stream.Begin(error)) return false;
    while (reader.Position() < reader.FileSize() && !stream.Ended()) {
        if (IsCancelled(job)) {
            error = kCancelledMessage;
            return false;
        }
        const char* chunk = nullptr;
        size_t n = 0;
        if (!reader.TakeWindow(kInputChunk, chunk, n)) {
            error = u"ファイルの読み込みに失敗しました。";
            return false;
        }
        if (!stream.Feed(chunk, n, sink, error)) return false;
        Progress(job, reader);
    }
    if (stream.Incomplete()) {
        error = kind == CFrameStream::Kind::Lz4 ? u"lz4 データが途中で終わっています。"
                                                : u"zstd データが途中で終わっています。";
        return false;
    }
    return true;
}

bool ReadPlain(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
               std::u16string& error) {
    while (reader.Position() < reader.FileSize()) {
        if (reader.Available() == 0 && !reader.Refill()) {
            error = u"データファイルの読み取りに失敗しました。";
            return false;
        }
        const size_t take = std::min(kInputChunk, reader.Available());
        if (!sink.Write(reader.Data(), take)) return false;
        reader.Consume(take);
        if (IsCancelled(job)) {
            error = kCancelledMessage;
            return false;
        }
    }
    return true;
}

// Tells the reader of a file being written how far the file has got: after every write
// that reached the file, not the bytes still in the sink's buffer.
class CPublishingSink : public IDataSink {
public:
    CPublishingSink(CFileSink& file, CGrowingFile& growing) : m_file(file), m_growing(growing) {}
    bool Write(const char* data, size_t length) override {
        if (m_growing.Abandoned() || !m_file.Write(data, length)) return false;
        if (m_file.Total() != m_published) {
            m_published = m_file.Total();
            m_growing.Publish(m_published);
        }
        return true;
    }

private:
    CFileSink& m_file;
    CGrowingFile& m_growing;
    uint64_t m_published = 0;
};

bool Expand(const std::u16string& path, StreamFormat format, const std::u16string& outPath,
            IJobContext* job, std::u16string& error, CGrowingFile* growing) {
    CFileSink sink;
    // The expansion is a temporary copy of the dump: nobody else needs to read it.
    if (!sink.Open(outPath, true)) {
        error = u"一時ファイルを作成できません(" + outPath + u")。";
        if (growing != nullptr) growing->Fail(error);
        return false;
    }
    if (growing != nullptr) growing->Publish(0);
    std::u16string readError;
    bool ok = false;
    {
        BufferedFileReader reader;
        if (reader.Open(path)) {
            if (growing != nullptr) {
                CPublishingSink publishing(sink, *growing);
                ok = ReadCompressedStream(reader, format, publishing, job, readError);
            } else {
                ok = ReadCompressedStream(reader, format, sink, job, readError);
            }
        } else {
            readError = u"ファイルをオープンできません(" + path + u")。";
        }
    }
    sink.Close();
    if (!ok || !sink.IsOk()) {
        // Also when the read stopped without a message: then our own sink refused the data.
        error = !ok && !readError.empty()
                    ? readError
                    : u"一時ファイルの書き込みに失敗しました(" + outPath + u")。";
        // The reader hears of the failure before the file goes, so that it never takes a
        // file it cannot open for the cause.
        if (growing != nullptr) growing->Fail(error);
        platform::DeleteFile(outPath);
        return false;
    }
    if (growing != nullptr) growing->Finish(sink.Total());
    return true;
}

}  // namespace

bool ReadCompressedStream(BufferedFileReader& reader, StreamFormat format, IDataSink& sink,
                          IJobContext* job, std::u16string& error) {
    if (format == StreamFormat::Plain) return ReadPlain(reader, sink, job, error);
    // The consumer works on one buffer while the decoder fills the next.
    CPipelineSink pipe(sink, job);
    // The consumer may report to the job too: the producer's reports go through the pipe.
    IJobContext* producerJob = pipe.ProducerJob();
    bool read = false;
    switch (format) {
        case StreamFormat::Gzip:
            read = ReadGzipStream(reader, pipe, producerJob, error);
            break;
        case StreamFormat::Lz4:
            read = ReadFrames(reader, CFrameStream::Kind::Lz4, pipe, producerJob, error);
            break;
        case StreamFormat::Zstd:
            read = ReadFrames(reader, CFrameStream::Kind::Zstd, pipe, producerJob, error);
            break;
        case StreamFormat::Plain:
            break;
    }
    return pipe.Finish() && read;
}

bool ReadDataStream(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                    std::u16string& error) {
    // The window holds the first bytes after one refill (an empty file has none).
    if (reader.Available() < 4) reader.Refill();
    const StreamFormat format = SniffStreamFormat(
        reinterpret_cast<const unsigned char*>(reader.Data()), reader.Available());
    return ReadCompressedStream(reader, format, sink, job, error);
}

bool ExpandCompressedToFile(const std::u16string& path, StreamFormat format,
                            const std::u16string& outPath, IJobContext* job, std::u16string& error,
                            CGrowingFile* growing) {
    return Expand(path, format, outPath, job, error, growing);
}
