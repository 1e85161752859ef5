#include "app/PipedDump.h"

#include <memory>

#include "app/CreateDumpReader.h"
#include "dump/FileSink.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/PipeInput.h"
#include "platform/TempFiles.h"

namespace {

constexpr size_t kChunk = size_t{1} << 20;
// Short enough that a cancel is seen well within the time a user waits for it.
constexpr int kWaitMs = 50;

// The reader of the copy, under the name the user gave.
class CCopiedDump : public IDumpFile {
public:
    CCopiedDump(std::unique_ptr<IDumpFile> inner, std::u16string path, std::u16string copyPath)
        : m_inner(std::move(inner)), m_path(std::move(path)), m_copyPath(std::move(copyPath)) {}
    ~CCopiedDump() override {
        m_inner.reset();
        platform::DeleteFile(m_copyPath);
    }
    CCopiedDump(const CCopiedDump&) = delete;
    CCopiedDump& operator=(const CCopiedDump&) = delete;

    const std::u16string& GetPath() const override { return m_path; }
    const DumpInfo& GetInfo() const override { return m_inner->GetInfo(); }
    bool Scan(IJobContext* job, std::u16string& error) override {
        return m_inner->Scan(job, error);
    }
    std::vector<TableEntry>& GetTables() override { return m_inner->GetTables(); }
    const std::vector<DdlObject>& GetDdlObjects() const override {
        return m_inner->GetDdlObjects();
    }
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override {
        return m_inner->ReadTableData(table, sink, job, error);
    }
    void SetLogger(DumpLogger logger) override { m_inner->SetLogger(std::move(logger)); }
    bool CatalogueNeedsScan() const override { return m_inner->CatalogueNeedsScan(); }

private:
    std::unique_ptr<IDumpFile> m_inner;
    std::u16string m_path;
    std::u16string m_copyPath;
};

}  // namespace

bool CopyPipeToTempFile(const std::u16string& path, IJobContext* job, std::u16string& copyPath,
                        std::u16string& error) {
    platform::CPipeInput pipe;
    if (!pipe.Open(path)) {
        error = u"ダンプファイルをオープンできません(" + path + u")。";
        return false;
    }
    copyPath = MakeTempFilePath(u".dump");
    CFileSink sink;
    if (!sink.Open(copyPath, true)) {
        error = u"一時ファイルを作成できません(" + copyPath + u")。";
        return false;
    }
    if (job != nullptr) job->SetMessage(u"パイプからダンプを読み込んでいます");
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    bool ok = true;
    for (;;) {
        if (job != nullptr && job->IsCancelled()) {
            error = kCancelledMessage;
            ok = false;
            break;
        }
        const int64_t n = pipe.Read(buffer.get(), kChunk, kWaitMs);
        if (n == platform::CPipeInput::kNothingYet) continue;
        if (n == 0) break;
        if (n < 0) {
            error = u"ファイルの読み込みに失敗しました。";
            ok = false;
            break;
        }
        if (!sink.Write(buffer.get(), static_cast<size_t>(n))) {
            error = u"一時ファイルの書き込みに失敗しました(" + copyPath + u")。";
            ok = false;
            break;
        }
    }
    sink.Close();
    if (!sink.IsOk() && ok) {
        error = u"一時ファイルの書き込みに失敗しました(" + copyPath + u")。";
        ok = false;
    }
    if (!ok) platform::DeleteFile(copyPath);
    return ok;
}

std::unique_ptr<IDumpFile> OpenPipedDump(const std::u16string& path, IJobContext* job,
                                         std::u16string& error) {
    std::u16string copyPath;
    if (!CopyPipeToTempFile(path, job, copyPath, error)) return nullptr;
    std::unique_ptr<IDumpFile> inner = CreateDumpReader(copyPath, error);
    if (!inner) {
        platform::DeleteFile(copyPath);
        return nullptr;
    }
    return std::make_unique<CCopiedDump>(std::move(inner), path, std::move(copyPath));
}
