#include "dump/GzipFile.h"

#include <algorithm>
#include <cstdint>

#include "dump/BufferedFileReader.h"
#include "dump/CompressedFile.h"
#include "dump/InflateStream.h"
#include "jobs/JobContext.h"

namespace {

constexpr size_t kInputChunk = size_t{256} << 10;
constexpr uint8_t kFlagHeaderCrc = 2;
constexpr uint8_t kFlagExtra = 4;
constexpr uint8_t kFlagName = 8;
constexpr uint8_t kFlagComment = 16;

bool IsMemberStart(const uint8_t* bytes) {
    return bytes[0] == 0x1F && bytes[1] == 0x8B && bytes[2] == 0x08;
}

bool SkipZeroTerminated(BufferedFileReader& reader) {
    uint8_t byte = 0;
    do {
        if (!reader.ReadByte(byte)) return false;
    } while (byte != 0);
    return true;
}

bool SkipHeaderFields(BufferedFileReader& reader) {
    uint8_t fixed[10];
    if (!reader.ReadBytes(fixed, sizeof fixed) || !IsMemberStart(fixed)) return false;
    const uint8_t flags = fixed[3];
    if (flags & kFlagExtra) {
        uint8_t size[2];
        if (!reader.ReadBytes(size, sizeof size)) return false;
        const uint64_t extra = size[0] | (uint64_t{size[1]} << 8);
        if (!reader.Seek(reader.Position() + extra)) return false;
    }
    if ((flags & kFlagName) && !SkipZeroTerminated(reader)) return false;
    if ((flags & kFlagComment) && !SkipZeroTerminated(reader)) return false;
    if ((flags & kFlagHeaderCrc) && !reader.Seek(reader.Position() + 2)) return false;
    return true;
}

}  // namespace

bool ReadGzipHeader(BufferedFileReader& reader, std::u16string& error) {
    if (SkipHeaderFields(reader)) return true;
    error = u"gzip のヘッダが不正です。";
    return false;
}

bool ReadGzipFile(const std::u16string& path, IDataSink& sink, IJobContext* job,
                  std::u16string& error) {
    BufferedFileReader reader;
    if (!reader.Open(path)) {
        error = u"ファイルをオープンできません(" + path + u")。";
        return false;
    }
    return ReadGzipStream(reader, sink, job, error);
}

bool ReadGzipStream(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                    std::u16string& error) {
    const uint64_t fileSize = reader.FileSize();
    if (reader.Position() >= fileSize) return true;
    const uint64_t progressBase = fileSize < 2 ? 1 : fileSize;

    InflateStream stream;
    for (;;) {
        if (!ReadGzipHeader(reader, error)) return false;
        if (!stream.Init(true, error)) return false;
        while (!stream.Ended()) {
            if (job != nullptr && job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
            if (reader.Position() >= fileSize) {
                error = u"gzip データが途中で終わっています。";
                return false;
            }
            // Inflate straight from the reader's window; no copy into a chunk buffer.
            const char* chunk = nullptr;
            size_t n = 0;
            if (!reader.TakeWindow(kInputChunk, chunk, n)) {
                error = u"ファイルの読み込みに失敗しました。";
                return false;
            }
            if (!stream.Inflate(chunk, n, sink, error)) return false;
            if (job != nullptr) {
                job->SetProgress(static_cast<int>(reader.Position() * 100 / progressBase));
            }
        }
        // Back to the first byte after the deflate data; it lies in the current window.
        if (!reader.Seek(reader.Position() - stream.Leftover())) {
            error = u"ファイルの読み込みに失敗しました。";
            return false;
        }
        // The CRC-32 and length trailer is not checked; a last member may even lack it.
        if (!reader.Seek(reader.Position() + 8)) return true;
        const uint64_t next = reader.Position();
        uint8_t magic[3];
        if (fileSize - next < sizeof magic || !reader.ReadBytes(magic, sizeof magic) ||
            !IsMemberStart(magic)) {
            // Padding or other bytes that do not start a member are ignored.
            return true;
        }
        if (!reader.Seek(next)) {
            error = u"ファイルの読み込みに失敗しました。";
            return false;
        }
    }
}

bool ExpandGzipToFile(const std::u16string& gzipPath, const std::u16string& outPath,
                      IJobContext* job, std::u16string& error) {
    return ExpandCompressedToFile(gzipPath, StreamFormat::Gzip, outPath, job, error);
}
