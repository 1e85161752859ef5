// An output path that is one of the dump's own files, however it is spelled, is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/OutputTarget.h"
#include "support/TestPaths.h"

namespace fs = std::filesystem;

TEST(OutputTargetTest, TheDumpsOwnFilesAreRefusedUnderAnyName) {
    ScratchDir dir;
    const std::string plain = dir.File("plain.sql");
    const std::string custom = dir.File("main.dump");
    const std::string folder = dir.File("main.dir");
    fs::copy_file(FixturePath("dumps/kx_main.sql"), plain);
    fs::copy_file(FixturePath("dumps/kx_main.custom.dump"), custom);
    fs::copy(FixturePath("dumps/kx_main.dir"), folder);
    ASSERT_EQ(::symlink(plain.c_str(), dir.File("plain-link.csv").c_str()), 0);
    ASSERT_EQ(::link(custom.c_str(), dir.File("hard.csv").c_str()), 0);
    ASSERT_EQ(::symlink((folder + "/3458.dat.gz").c_str(), dir.File("data-link.csv").c_str()), 0);
    dir.Write("other.csv", "x");

    struct Case {
        std::string dump;
        std::string output;
        bool refused;
    };
    const Case cases[] = {
        {plain, plain, true},
        {plain, dir.File("plain-link.csv"), true},
        {plain, dir.Path() + "/./plain.sql", true},
        {custom, custom, true},
        {custom, dir.File("hard.csv"), true},
        {folder, folder + "/toc.dat", true},
        {folder, folder + "/3458.dat.gz", true},
        {folder + "/toc.dat", folder + "/3460.dat.gz", true},
        {folder, dir.File("data-link.csv"), true},
        {plain, dir.File("missing.csv"), false},
        {plain, dir.File("other.csv"), false},
        {custom, plain, false},
        // A file beside a plain script is no part of it, whatever its name.
        {plain, folder + "/toc.dat", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dump + " -> " + c.output);
        std::u16string error;
        EXPECT_EQ(CheckOutputIsNotDump(U16(c.dump), U16(c.output), error), !c.refused);
        EXPECT_EQ(U8(error), c.refused ? "出力先に読み込み中のダンプファイルは指定できません(" +
                                             c.output + ")。"
                                       : "");
    }
}
