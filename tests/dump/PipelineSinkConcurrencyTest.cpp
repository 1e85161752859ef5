// The decompressor and its consumer on two threads: the same bytes in the same order, and
// cancellation, a consumer that stops early or throws, and a reader that gives up all end
// with the thread joined and nothing hanging.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <string>

#include "dump/BufferedFileReader.h"
#include "dump/CompressedFile.h"
#include "dump/PipelineSink.h"
#include "jobs/JobContext.h"
#include "support/FrameCompress.h"
#include "support/TestPaths.h"

namespace {

// Accepts up to limit bytes, then refuses or throws; keeps a checksum rather than a copy.
class Consumer : public IDataSink {
public:
    enum class Stop { Never, Refuse, Throw };
    Consumer(Stop stop, uint64_t limit, IJobContext* job = nullptr)
        : m_stop(stop), m_limit(limit), m_job(job) {}
    bool Write(const char* data, size_t length) override {
        // As the row store does: the consumer reports to the job as well.
        if (m_job != nullptr) m_job->SetProgress(static_cast<int>(received % 100));
        if (m_stop != Stop::Never && received + length > m_limit) {
            if (m_stop == Stop::Throw) throw std::runtime_error("consumer gave up");
            return false;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(length));
        received += length;
        return true;
    }
    uint64_t received = 0;
    uLong crc = crc32(0, nullptr, 0);

private:
    Stop m_stop;
    uint64_t m_limit;
    IJobContext* m_job;
};

class AtomicJob : public IJobContext {
public:
    explicit AtomicJob(int cancelAfter) : m_cancelAfter(cancelAfter) {}
    bool IsCancelled() const override { return m_cancelAfter >= 0 && ++m_polls > m_cancelAfter; }
    // Reports must come one at a time, whichever thread makes them.
    void SetMessage(const std::u16string&) override { Report(); }
    void SetProgress(int) override { Report(); }
    int reports = 0;  // deliberately not atomic: ThreadSanitizer sees two reporters at once
    std::atomic<int> overlaps{0};

private:
    void Report() {
        if (m_inside.exchange(true)) ++overlaps;
        ++reports;
        m_inside = false;
    }
    std::atomic<bool> m_inside{false};
    int m_cancelAfter;
    mutable std::atomic<int> m_polls{0};
};

std::string Rows(size_t bytes) {
    std::string s;
    for (uint64_t i = 0; s.size() < bytes; ++i)
        s += std::to_string(i * 2654435761u % 1000003) + "\tname " + std::to_string(i) + "\n";
    return s;
}

std::string Gzip(const std::string& text) {
    return DeflateCompress(text, 1, 31);
}

}  // namespace

TEST(PipelineSinkConcurrencyTest, HandsOverEveryByteOrStopsCleanly) {
    const std::string text = Rows(9 * CPipelineSink::kBufferSize + 12345);
    const uLong whole = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()),
                              static_cast<uInt>(text.size()));
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        const auto stop = static_cast<Consumer::Stop>(round % 3);
        const uint64_t limit = rng() % text.size();
        // Some producers give up on their own at a random point without calling Finish.
        const size_t abandonAt = round % 5 == 4 ? rng() % text.size() : text.size();
        Consumer consumer(stop, limit);
        bool refused = false;
        bool thrown = false;
        {
            CPipelineSink pipe(consumer);
            size_t at = 0;
            while (at < abandonAt) {
                const size_t piece = std::min<size_t>(1 + rng() % 400000, text.size() - at);
                if (!pipe.Write(text.data() + at, piece)) {
                    refused = true;
                    break;
                }
                at += piece;
            }
            if (abandonAt == text.size()) {
                try {
                    if (!pipe.Finish()) refused = true;
                } catch (const std::runtime_error&) {
                    thrown = true;
                }
            }
        }
        if (abandonAt < text.size()) continue;
        SCOPED_TRACE("round " + std::to_string(round));
        if (stop == Consumer::Stop::Never) {
            EXPECT_FALSE(refused || thrown);
            EXPECT_EQ(consumer.received, text.size());
            EXPECT_EQ(consumer.crc, whole);
        } else {
            EXPECT_EQ(thrown, stop == Consumer::Stop::Throw);
            // A consumer that threw also stops the producer's writes.
            EXPECT_TRUE(refused || thrown);
            EXPECT_LE(consumer.received, limit);
            const uLong prefix =
                crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()),
                      static_cast<uInt>(consumer.received));
            EXPECT_EQ(consumer.crc, prefix);
        }
    }
}

TEST(PipelineSinkConcurrencyTest, CompressedStreamsWithCancelAndEarlyStop) {
    const std::string text = Rows(6 * CPipelineSink::kBufferSize);
    ScratchDir dir;
    struct Format {
        StreamFormat format;
        std::string path;
    } formats[] = {
        {StreamFormat::Gzip, dir.Write("t.gz", Gzip(text))},
        {StreamFormat::Lz4, dir.Write("t.lz4", Lz4Compress(text))},
        {StreamFormat::Zstd, dir.Write("t.zst", ZstdCompress(text))},
    };
    std::mt19937 rng(12);
    for (const Format& f : formats) {
        for (int round = 0; round < 12; ++round) {
            const int cancelAfter = round % 3 == 0 ? static_cast<int>(rng() % 40) : -1;
            const auto stop = round % 3 == 1   ? Consumer::Stop::Refuse
                              : round % 3 == 2 ? Consumer::Stop::Throw
                                               : Consumer::Stop::Never;
            AtomicJob job(cancelAfter);
            Consumer consumer(stop, rng() % text.size(), &job);
            BufferedFileReader reader;
            ASSERT_TRUE(reader.Open(U16(f.path)));
            std::u16string error = u"untouched";
            bool ok = false;
            bool thrown = false;
            try {
                ok = ReadCompressedStream(reader, f.format, consumer, &job, error);
            } catch (const std::runtime_error&) {
                thrown = true;
            }
            SCOPED_TRACE(U8(StreamFormatName(f.format)) + " round " + std::to_string(round));
            EXPECT_EQ(job.overlaps.load(), 0);
            EXPECT_GT(job.reports, 0);
            if (stop == Consumer::Stop::Throw) {
                EXPECT_TRUE(thrown);
            } else if (stop == Consumer::Stop::Refuse) {
                EXPECT_FALSE(ok);
                EXPECT_EQ(error, u"untouched");
            } else if (!ok) {
                // Cancelled: what came before the cancel was handed over, in order.
                EXPECT_EQ(error, kCancelledMessage);
                EXPECT_LE(consumer.received, text.size());
            } else {
                EXPECT_EQ(consumer.received, text.size());
            }
        }
    }
}
