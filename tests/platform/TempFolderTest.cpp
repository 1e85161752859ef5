#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"
#include "store/TableData.h"
#include "support/MemoryDump.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

const std::string kUid = std::to_string(::geteuid());

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Loads a small table with the temporary folder under tmpdir; path receives the spool path.
bool LoadOnce(std::u16string& path, std::u16string& error) {
    MemoryDump dump("1\tone\n2\ttwo\n");
    CTableData data;
    if (!data.Load(dump, dump.Table(), nullptr, error)) return false;
    path = data.GetTempPath();
    RowCells cells;
    return data.GetRowCount() == 2 && data.GetRow(1, cells) && cells[1].text == u"two";
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

pid_t DeadProcessId() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

// Runs body in a child process under another user id; true when it returned true.
template <typename Body>
bool AsUser(uid_t uid, Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(uid) != 0 || setuid(uid) != 0) _exit(3);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(TempFolderTest, LocationFollowsEnvironment) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR"), cache("XDG_CACHE_HOME"), home("HOME");
    std::filesystem::create_directories(dir.File("shared"));
    std::filesystem::create_directories(dir.File("home"));
    ::chmod(dir.File("shared").c_str(), 01777);
    struct Case {
        const char* tmpdir;  // null: unset
        const char* cacheHome;
        std::string expected;
    };
    const Case cases[] = {
        {"", nullptr, "/home/.cache/Kalvex/"},  // empty TMPDIR counts as unset
        {nullptr, nullptr, "/home/.cache/Kalvex/"},
        {nullptr, "/cache", "/cache/Kalvex/"},
        {nullptr, "relative", "/home/.cache/Kalvex/"},
        {"/private", "/cache", "/private/Kalvex/"},
        {"/shared", nullptr, "/shared/Kalvex-" + kUid + "/"},
        {"/shared/", nullptr, "/shared/Kalvex-" + kUid + "/"},
    };
    home.Set(dir.File("home"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpdir != nullptr ? c.tmpdir : "(unset)");
        if (c.tmpdir == nullptr) {
            tmp.Unset();
        } else {
            tmp.Set(*c.tmpdir != 0 ? dir.Path() + c.tmpdir : std::string());
        }
        if (c.cacheHome == nullptr) {
            cache.Unset();
        } else {
            cache.Set(c.cacheHome[0] == '/' ? dir.Path() + c.cacheHome : c.cacheHome);
        }
        EXPECT_EQ(U8(platform::GetKalvexTempFolder()), dir.Path() + c.expected);
    }

    // Without a home folder: the system's disk-backed shared temporary folder.
    tmp.Unset();
    cache.Unset();
    home.Set(dir.File("no-such-home"));
    EXPECT_EQ(U8(platform::GetKalvexTempFolder()), "/var/tmp/Kalvex-" + kUid + "/");

    // The folder and its missing parents are made for this user alone.
    tmp.Unset();
    cache.Set(dir.File("new/cache"));
    std::u16string path, error;
    ASSERT_TRUE(LoadOnce(path, error)) << U8(error);
    EXPECT_EQ(U8(path).rfind(dir.File("new/cache/Kalvex/kvx_"), 0), 0u);
    EXPECT_EQ(ModeOf(dir.File("new/cache/Kalvex")), S_IFDIR | 0700);
    EXPECT_EQ(ModeOf(dir.File("new/cache")), S_IFDIR | 0700);
}

TEST(TempFolderTest, UnsafeFoldersAreRefused) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    const std::string folder = dir.File("Kalvex");
    std::filesystem::create_directories(dir.File("elsewhere"));
    ::chmod(dir.File("elsewhere").c_str(), 0700);
    struct Case {
        const char* what;
        void (*make)(const std::string& folder, const std::string& elsewhere);
    };
    const Case cases[] = {
        {"readable by the group",
         [](const std::string& f, const std::string&) {
             ::mkdir(f.c_str(), 0700);
             ::chmod(f.c_str(), 0750);
         }},
        {"writable by others",
         [](const std::string& f, const std::string&) {
             ::mkdir(f.c_str(), 0700);
             ::chmod(f.c_str(), 01733);
         }},
        {"a link to a private folder",
         [](const std::string& f, const std::string& e) { (void)::symlink(e.c_str(), f.c_str()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder);
        c.make(folder, dir.File("elsewhere"));
        std::u16string path, error;
        EXPECT_FALSE(LoadOnce(path, error));
        EXPECT_EQ(U8(error).rfind("一時ファイルを作成できません(" + folder + "/kvx_", 0), 0u)
            << U8(error);
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("elsewhere")));
        std::u16string csv;
        EXPECT_FALSE(CreateTempFile(u".csv", csv));
        EXPECT_FALSE(platform::IsPrivateFolder(U16(folder)));
    }
}

TEST(TempFolderTest, FilesAreNeverOpenedThroughLinksOrOverExistingFiles) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    const std::string victim = dir.Write("victim", "keep me");
    const std::string folder = U8(GetTempDirectory());
    ASSERT_TRUE(platform::IsPrivateFolder(U16(folder)));

    // Links and files planted at the next names are stepped over.
    const std::u16string probe = MakeTempFilePath(u".dat");
    const std::string next = U8(probe.substr(0, probe.rfind(u'_') + 1));
    const int counter = std::stoi(U8(probe.substr(probe.rfind(u'_') + 1)));
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(::symlink(victim.c_str(), (next + std::to_string(counter + i) + ".dat").c_str()),
                  0);
    }
    WriteFile(next + std::to_string(counter + 4) + ".dat", "someone's");
    std::u16string path, error;
    ASSERT_TRUE(LoadOnce(path, error)) << U8(error);
    EXPECT_EQ(U8(path), next + std::to_string(counter + 5) + ".dat");
    EXPECT_EQ(ReadFileBytes(victim), "keep me");

    // The creation itself refuses what is at the path.
    platform::CFile file;
    EXPECT_FALSE(file.OpenWritePrivate(U16(next + std::to_string(counter + 1) + ".dat")));
    EXPECT_FALSE(file.OpenWritePrivate(U16(next + std::to_string(counter + 4) + ".dat")));
    EXPECT_EQ(ReadFileBytes(victim), "keep me");
    EXPECT_TRUE(file.OpenWritePrivate(U16(folder + "fresh")));
    EXPECT_EQ(ModeOf(folder + "fresh"), S_IFREG | 0600);
}

TEST(TempFolderTest, StartRemovesOnlyLeftoversOfEndedProcesses) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    const std::string folder = U8(GetTempDirectory());
    const std::string dead = std::to_string(DeadProcessId());
    const pid_t livePid = fork();
    if (livePid == 0) {
        pause();
        _exit(0);
    }
    const std::string live = std::to_string(livePid);
    const std::string self = std::to_string(::getpid());
    struct Case {
        std::string name;
        bool removed;
    };
    const Case cases[] = {
        {"kvx_" + dead + "_1.dat", true},
        {"kvx_" + dead + "_7.sql", true},
        {"kvx_" + live + "_1.dat", false},
        {"kvx_" + self + "_1.dat", false},
        {"kvx_" + dead, false},
        {"kvx__1.dat", false},
        {"notes.txt", false},
        {"kvx_0_1.dat", false},
    };
    for (const Case& c : cases) WriteFile(folder + c.name, "x");
    ASSERT_EQ(::symlink("/nonexistent", (folder + "kvx_" + dead + "_2.dat").c_str()), 0);
    std::filesystem::create_directory(folder + "kvx_" + dead + "_dir");

    RemoveStaleTempFiles();
    for (const Case& c : cases) {
        EXPECT_EQ(std::filesystem::exists(folder + c.name), !c.removed) << c.name;
    }
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "kvx_" + dead + "_2.dat"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "kvx_" + dead + "_dir"));
    kill(livePid, SIGKILL);
    waitpid(livePid, nullptr, 0);

    // In a folder that is not private nothing is touched.
    const std::string deadFile = folder + "kvx_" + dead + "_1.dat";
    WriteFile(deadFile, "x");
    ::chmod(folder.c_str(), 0755);
    RemoveStaleTempFiles();
    EXPECT_TRUE(std::filesystem::exists(deadFile));
    ::chmod(folder.c_str(), 0700);

    // The handler's variant removes this process's files only; it learns the folder when
    // a path is made.
    MakeTempFilePath();
    WriteFile(folder + "kvx_" + self + "_99.dat", "x");
    DeleteTempFilesFromSignal();
    EXPECT_FALSE(std::filesystem::exists(folder + "kvx_" + self + "_99.dat"));
    EXPECT_TRUE(std::filesystem::exists(deadFile));
}

// Another user of the machine: what /tmp looked like when every user shared one folder.
TEST(TempFolderTest, SecondUserUnderSharedTmp) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    const uid_t other = 65534;
    ScratchDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    ScopedEnv tmp("TMPDIR");
    const std::string shared = dir.File("tmp");
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    tmp.Set(shared);
    const std::string victim = dir.Write("victim", "keep me");
    ::chmod(victim.c_str(), 0666);
    const std::string self = std::to_string(::getpid());

    // The other user owns the old shared folder and plants links at our spool names.
    ASSERT_TRUE(AsUser(other, [&] {
        if (::mkdir((shared + "/Kalvex").c_str(), 0700) != 0) return false;
        for (int i = 1; i <= 50; ++i) {
            const std::string link = shared + "/Kalvex/kvx_" + self + "_" + std::to_string(i);
            if (::symlink(victim.c_str(), (link + ".dat").c_str()) != 0) return false;
        }
        return true;
    }));

    // Both users load tables, each in a folder of its own.
    std::u16string path, error;
    ASSERT_TRUE(LoadOnce(path, error)) << U8(error);
    EXPECT_EQ(U8(path).rfind(shared + "/Kalvex-" + kUid + "/kvx_", 0), 0u) << U8(path);
    ASSERT_TRUE(AsUser(other, [&] {
        std::u16string otherPath, otherError;
        return LoadOnce(otherPath, otherError) &&
               U8(otherPath).rfind(shared + "/Kalvex-65534/kvx_", 0) == 0;
    }));
    EXPECT_EQ(ModeOf(shared + "/Kalvex-65534"), S_IFDIR | 0700);
    EXPECT_EQ(ReadFileBytes(victim), "keep me");

    // The other user takes our folder's name first: refused, nothing written anywhere.
    const std::string shared2 = dir.File("tmp2");
    std::filesystem::create_directory(shared2);
    ::chmod(shared2.c_str(), 01777);
    tmp.Set(shared2);
    const std::string taken = shared2 + "/Kalvex-" + kUid;
    ASSERT_TRUE(AsUser(other, [&] {
        if (::mkdir(taken.c_str(), 0777) != 0 || ::chmod(taken.c_str(), 0777) != 0) return false;
        for (int i = 1; i <= 50; ++i) {
            const std::string link = taken + "/kvx_" + self + "_" + std::to_string(i) + ".dat";
            if (::symlink(victim.c_str(), link.c_str()) != 0) return false;
        }
        return true;
    }));
    EXPECT_FALSE(LoadOnce(path, error));
    EXPECT_EQ(U8(error).rfind("一時ファイルを作成できません(" + taken + "/kvx_" + self + "_", 0),
              0u)
        << U8(error);
    EXPECT_EQ(ReadFileBytes(victim), "keep me");
    RemoveStaleTempFiles();
    DeleteTempFiles();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(taken),
                            std::filesystem::directory_iterator()),
              50);
}
