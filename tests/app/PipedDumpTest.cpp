// Inputs that are not regular files: a dump or a data file that is a FIFO or a device, a
// data file linked out of the dump's folder, a dump that arrives through a pipe. Each
// open runs under a watchdog, as a blocking open would otherwise hold the test for ever.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/CreateDumpReader.h"
#include "app/DumpSession.h"
#include "support/ChildWatchdog.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

constexpr int kWatchdogSeconds = 30;

// The tables and row counts a full open and scan gives, or the message.
std::string Describe(const std::u16string& path, IJobContext* job = nullptr) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CDumpSession::OpenDump(path, true, job, error);
    if (!dump) return U8(error);
    std::string text;
    for (const TableEntry& t : dump->GetTables())
        text += U8(t.schema) + "." + U8(t.name) + "=" + std::to_string(t.rowCount) + "\n";
    return text;
}

}  // namespace

TEST(PipedDumpTest, DataFilesThatAreNoPlainFileOfTheFolderAreRefused) {
    const std::string source = FixturePath("dumps/kx_main.dir");
    const std::string victim = "3458.dat.gz";
    const std::string outside = FixturePath("dumps/kx_main.dir/3459.dat.gz");
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        bool refused;
    };
    const Case cases[] = {
        {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, true},
        {"link out of the folder",
         [&](const std::string& p) { ASSERT_EQ(::symlink(outside.c_str(), p.c_str()), 0); }, true},
        {"character device",
         [](const std::string& p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); }, true},
        {"link inside the folder",
         [](const std::string& p) {
             const std::string copy = p + ".real";
             std::filesystem::rename(p + ".orig", copy);
             ASSERT_EQ(::symlink(copy.c_str(), p.c_str()), 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string folder = dir.File("d");
        std::filesystem::copy(source, folder);
        const std::string data = folder + "/" + victim;
        std::filesystem::rename(data, data + ".orig");
        c.make(data);
        const std::optional<std::string> result =
            RunInChild([&] { return Describe(U16(folder + "/toc.dat")); }, kWatchdogSeconds);
        ASSERT_TRUE(result.has_value()) << "the open blocked";
        if (c.refused) {
            EXPECT_EQ(result->rfind("データファイルをオープンできません(" + data + ")。", 0), 0u)
                << *result;
        } else {
            EXPECT_EQ(*result, Describe(U16(source + "/toc.dat")));
        }
    }
}

TEST(PipedDumpTest, DumpThroughAPipeReadsAsTheFile) {
    for (const char* name : {"kx_main.sql", "kx_main.custom.dump", "kx_main.sql.gz"}) {
        SCOPED_TRACE(name);
        const std::string file = FixturePath(std::string("dumps/") + name);
        const std::string expected = Describe(U16(file));
        ASSERT_NE(expected.find("public.simple="), std::string::npos) << expected;
        ScratchDir dir;
        const std::string fifo = dir.File("in");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::optional<std::string> result = RunInChild(
            [&] {
                // The writer comes after the reader has opened, as from another program.
                std::thread writer([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    std::ofstream(fifo, std::ios::binary) << ReadFileBytes(file);
                });
                const size_t before = TempFilesOfThisProcess().size();
                std::string text = Describe(U16(fifo));
                writer.join();
                if (TempFilesOfThisProcess().size() != before) text += "(copy left)";
                return text;
            },
            kWatchdogSeconds);
        ASSERT_TRUE(result.has_value()) << "the open blocked";
        EXPECT_EQ(*result, expected);
    }
}

TEST(PipedDumpTest, PipeWithoutWriterAndDevicesNeverBlock) {
    ScratchDir dir;
    const std::string fifo = dir.File("silent");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::optional<std::string> result = RunInChild(
        [&] {
            std::string text;
            // Opened as a file (the window's way) a FIFO is refused at once.
            std::u16string error;
            if (!CreateDumpReader(U16(fifo), error)) text += U8(error) + "\n";
            if (!CreateDumpReader(u"/dev/zero", error)) text += U8(error) + "\n";
            // Copied from, it waits for a writer, but hears the cancel.
            ThreadedTestJob job(3);
            const size_t before = TempFilesOfThisProcess().size();
            text += Describe(U16(fifo), &job);
            if (TempFilesOfThisProcess().size() != before) text += "(copy left)";
            return text;
        },
        kWatchdogSeconds);
    ASSERT_TRUE(result.has_value()) << "the open blocked";
    EXPECT_EQ(*result,
              "ダンプファイルをオープンできません(" + fifo +
                  ")。\nダンプファイルをオープンできません(/dev/zero)。\n処理が中止されました。");
}
