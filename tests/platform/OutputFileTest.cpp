// Writing an output file: what is at the target before, during and after a write that
// succeeds, fails or is given up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/OutputFile.h"
#include "support/TestPaths.h"

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t LinkMode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

enum class Target { Missing, File, LinkToFile, Device, LinkToDevice };
enum class End { Commit, Abandon };

}  // namespace

TEST(OutputFileTest, TargetIsReplacedOnlyByACommit) {
    struct Case {
        const char* name;
        Target target;
        End end;
        bool ok;              // Commit's result (a write error is the writer's to keep)
        const char* content;  // of out.csv (through a link) afterwards; null: missing
    };
    const Case cases[] = {
        {"new file kept", Target::Missing, End::Commit, true, "new"},
        {"new file given up", Target::Missing, End::Abandon, true, nullptr},
        {"file replaced", Target::File, End::Commit, true, "new"},
        {"file kept on give-up", Target::File, End::Abandon, true, "old"},
        {"link target replaced", Target::LinkToFile, End::Commit, true, "new"},
        {"link target kept on give-up", Target::LinkToFile, End::Abandon, true, "old"},
        {"device written in place", Target::Device, End::Commit, true, nullptr},
        {"device through a link", Target::LinkToDevice, End::Abandon, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string out = dir.File("out.csv");
        const std::string real = dir.File("real.csv");
        const std::string device = dir.File("full");
        const bool device_target = c.target == Target::Device || c.target == Target::LinkToDevice;
        if (device_target && ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            GTEST_SKIP() << "mknod needs root";
        }
        switch (c.target) {
            case Target::Missing:
                break;
            case Target::File:
                dir.Write("out.csv", "old");
                break;
            case Target::LinkToFile:
                dir.Write("real.csv", "old");
                ASSERT_EQ(::symlink("real.csv", out.c_str()), 0);
                break;
            case Target::Device:
                ASSERT_EQ(::rename(device.c_str(), out.c_str()), 0);
                break;
            case Target::LinkToDevice:
                ASSERT_EQ(::symlink(device.c_str(), out.c_str()), 0);
                break;
        }
        const std::vector<std::string> before = Names(dir.Path());

        platform::COutputFile file;
        ASSERT_TRUE(file.Open(U16(out)));
        // Until the end, a file is written beside a regular target and the target stays.
        EXPECT_EQ(file.WorkingPath() == U16(out), device_target);
        const bool wrote = file.File().WriteAll("new", 3);
        EXPECT_EQ(wrote, !device_target);
        bool committed = false;
        if (c.end == End::Commit) {
            committed = file.Commit();
            EXPECT_EQ(committed, c.ok);
        } else {
            file.Abandon();
        }

        if (c.content == nullptr) {
            if (!device_target) {
                EXPECT_EQ(LinkMode(out), 0u);
            }
        } else {
            EXPECT_EQ(ReadFileBytes(out), c.content);
        }
        if (c.target == Target::LinkToFile) {
            EXPECT_TRUE(S_ISLNK(LinkMode(out)));
        }
        if (c.target == Target::Device) {
            EXPECT_TRUE(S_ISCHR(LinkMode(out)));
        }
        if (c.target == Target::LinkToDevice) {
            EXPECT_TRUE(S_ISLNK(LinkMode(out)));
            EXPECT_TRUE(S_ISCHR(LinkMode(device)));
        }
        // Nothing but the target itself is left behind.
        std::vector<std::string> after = Names(dir.Path());
        if (c.target == Target::Missing && committed)
            after.erase(std::find(after.begin(), after.end(), "out.csv"));
        EXPECT_EQ(after, before);
    }
}

TEST(OutputFileTest, KeepsTheModeOfTheFileItReplaces) {
    ScratchDir dir;
    const std::string out = dir.Write("out.csv", "old");
    ASSERT_EQ(::chmod(out.c_str(), 0600), 0);
    platform::COutputFile file;
    ASSERT_TRUE(file.Open(U16(out)));
    ASSERT_TRUE(file.File().WriteAll("new", 3));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(LinkMode(out) & 0777, 0600u);
    EXPECT_EQ(ReadFileBytes(out), "new");
}

TEST(OutputFileTest, ExitCleanupRemovesAFileStillBeingWritten) {
    ScratchDir dir;
    dir.Write("out.csv", "old");
    platform::COutputFile file;
    ASSERT_TRUE(file.Open(U16(dir.File("out.csv"))));
    ASSERT_EQ(Names(dir.Path()).size(), 2u);
    platform::DeletePendingOutputFiles();
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.csv"});
    file.Abandon();
    EXPECT_EQ(ReadFileBytes(dir.File("out.csv")), "old");
}
