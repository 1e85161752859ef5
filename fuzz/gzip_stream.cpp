// gzip members (header, raw deflate, trailer) as a directory dump's data files and a
// compressed script hold them.
#include "FuzzTarget.h"
#include "dump/DumpFile.h"
#include "dump/GzipFile.h"

namespace {

class CCountSink : public IDataSink {
public:
    bool Write(const char*, size_t length) override {
        m_total += length;
        // As a spool would stop at a full disk: a bomb must not run forever.
        return m_total < (size_t{64} << 20);
    }

private:
    size_t m_total = 0;
};

}  // namespace

KALVEX_FUZZ_TARGET(gzip_stream) {
    const std::u16string path = fuzz::WriteInput(data, size, ".gz");
    CCountSink sink;
    std::u16string error;
    ReadGzipFile(path, sink, nullptr, error);
}
