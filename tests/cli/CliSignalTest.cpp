#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/ArchiveWriter.h"
#include "support/TestPaths.h"

namespace {

// An uncompressed archive with one table big enough that loading it takes a while.
std::string WriteBigDump(const ScratchDir& dir) {
    testarchive::ArchivePlan plan;
    plan.compression = testarchive::Compression::None;
    const int64_t id = plan.AddTable("public", "big", {"n integer", "t text"}).dumpId;
    std::string rows;
    for (int i = 0; i < 600000; ++i)
        rows += std::to_string(i) + "\tsome text to make rows longer\n";
    plan.AddTableData("public", "big", {"n", "t"}, rows, id);
    return dir.Write("big.dump", testarchive::BuildCustomArchive(plan).bytes);
}

// Starts `kalvex-cli export DUMP big` with the temporary folder under tmp, output discarded
// and standard error kept in errPath. Rows are read straight from the dump; the CSV for
// standard output grows in a temporary file while they are.
pid_t StartExport(const std::string& dump, const std::string& tmp, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        const int out = open("/dev/null", O_WRONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        execl(KALVEX_CLI_PATH, KALVEX_CLI_PATH, "export", dump.c_str(), "big",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits until the process has made a file in the folder (its temporary CSV file).
bool WaitForFile(const std::string& folder) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace

TEST(CliSignalTest, TerminationDuringLoadCancelsAndLeavesNothing) {
    ScratchDir dir;
    const std::string dump = WriteBigDump(dir);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        const std::string tmp = dir.File("tmp" + std::to_string(signal));
        std::filesystem::create_directory(tmp);
        const pid_t pid = StartExport(dump, tmp, dir.File("err"));
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitForFile(tmp + "/Kalvex"));
        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        // Mostly the load is cancelled (exit 1); a signal that lands while rows are being
        // printed ends the process through the cleanup handler instead.
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 1);
            EXPECT_NE(ReadFileBytes(dir.File("err")).find("処理が中止されました。"),
                      std::string::npos);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), signal);
        }
        EXPECT_TRUE(std::filesystem::is_empty(tmp + "/Kalvex"));
    }
}

TEST(CliSignalTest, NextStartRemovesWhatAKilledProcessLeft) {
    ScratchDir dir;
    const std::string dump = WriteBigDump(dir);
    const std::string tmp = dir.File("tmp");
    std::filesystem::create_directory(tmp);
    const pid_t pid = StartExport(dump, tmp, dir.File("err"));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForFile(tmp + "/Kalvex"));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ASSERT_FALSE(std::filesystem::is_empty(tmp + "/Kalvex"));

    // A file of a process that still runs (this one) stays.
    const std::string live = tmp + "/Kalvex/kvx_" + std::to_string(getpid()) + "_1.dat";
    { std::ofstream(live) << "in use"; }
    const pid_t next = fork();
    if (next == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(KALVEX_CLI_PATH, KALVEX_CLI_PATH, "detect", dump.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(next, &status, 0), next);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tmp + "/Kalvex")) {
        left.push_back(entry.path().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{live});
}
