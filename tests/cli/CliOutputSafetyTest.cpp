// What an export does to the files at its -o path: never the dump itself, never a file or
// device it did not write, and a failure leaves what was there as it was.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/ArchiveWriter.h"
#include "support/CliRunner.h"
#include "support/TestPaths.h"

namespace fs = std::filesystem;

namespace {

// A custom archive whose one table makes a CSV of about 300 KB.
std::string WriteArchive(const ScratchDir& dir) {
    testarchive::ArchivePlan plan;
    plan.compression = testarchive::Compression::None;
    const int64_t id = plan.AddTable("public", "big", {"n integer", "t text"}).dumpId;
    std::string rows;
    for (int i = 0; i < 10000; ++i) rows += std::to_string(i) + "\trows of some length here\n";
    plan.AddTableData("public", "big", {"n", "t"}, rows, id);
    return dir.Write("big.dump", testarchive::BuildCustomArchive(plan).bytes);
}

// A small file system that is full long before the export ends; unmounted on the way out.
class SmallMount {
public:
    explicit SmallMount(const std::string& path) : m_path(path) {
        fs::create_directory(path);
        m_mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallMount() {
        if (m_mounted) ::umount(m_path.c_str());
    }
    bool Mounted() const { return m_mounted; }

private:
    std::string m_path;
    bool m_mounted = false;
};

mode_t LinkMode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

}  // namespace

TEST(CliOutputSafetyTest, ExportOntoTheDumpIsRefusedAndWritesNothing) {
    ScratchDir dir;
    const std::string plain = dir.File("main.sql");
    const std::string custom = dir.File("main.dump");
    const std::string folder = dir.File("main.dir");
    fs::copy_file(FixturePath("dumps/kx_main.sql"), plain);
    fs::copy_file(FixturePath("dumps/kx_main.custom.dump"), custom);
    fs::copy(FixturePath("dumps/kx_main.dir"), folder);
    ASSERT_EQ(::symlink(plain.c_str(), dir.File("link.csv").c_str()), 0);
    ASSERT_EQ(::link(custom.c_str(), dir.File("hard.csv").c_str()), 0);
    struct Case {
        std::string dump;
        std::string output;
        std::string victim;  // the dump file the output leads to
    };
    const Case cases[] = {
        {plain, plain, plain},
        {custom, custom, custom},
        {folder, folder + "/3459.dat.gz", folder + "/3459.dat.gz"},
        {folder, folder + "/toc.dat", folder + "/toc.dat"},
        {plain, dir.File("link.csv"), plain},
        {custom, dir.File("hard.csv"), custom},
    };
    for (const char* command : {"export", "sql"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command) + " " + c.output);
            const std::string before = ReadFileBytes(c.victim);
            CliResult r = RunCli(std::string(command) + " " + ShellQuote(c.dump) +
                                 " public.simple -o " + ShellQuote(c.output));
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err,
                      "出力先に読み込み中のダンプファイルは指定できません(" + c.output + ")。\n");
            EXPECT_EQ(ReadFileBytes(c.victim), before);
        }
    }
    EXPECT_TRUE(S_ISLNK(LinkMode(dir.File("link.csv"))));
    // The same dump exports anywhere else.
    CliResult ok = RunCli("export " + ShellQuote(custom) + " public.simple -o " +
                          ShellQuote(dir.File("simple.csv")));
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
}

TEST(CliOutputSafetyTest, FailedExportsLeaveWhatWasThere) {
    ScratchDir dir;
    const std::string dump = WriteArchive(dir);
    auto exportTo = [&dump](const std::string& out) {
        return RunCli("export " + ShellQuote(dump) + " big -o " + ShellQuote(out));
    };

    // A twin of /dev/full: the write fails and the node stays.
    const std::string device = dir.File("full");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        CliResult r = exportTo(device);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "CSVファイルの書き込みに失敗しました(" + device + ")。\n");
        EXPECT_TRUE(S_ISCHR(LinkMode(device)));
    }

    // A link to a file on a full file system: the link and the old file stay.
    SmallMount small(dir.File("small"));
    if (!small.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string kept = dir.Write("small/kept.csv", "old contents\n");
    const std::string link = dir.File("out.csv");
    ASSERT_EQ(::symlink(kept.c_str(), link.c_str()), 0);
    CliResult r = exportTo(link);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "CSVファイルの書き込みに失敗しました(" + link + ")。\n");
    EXPECT_TRUE(S_ISLNK(LinkMode(link)));
    EXPECT_EQ(ReadFileBytes(kept), "old contents\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("small")), fs::directory_iterator()),
              1);

    // With room, the link's target is replaced and the link stays.
    ASSERT_EQ(::unlink(link.c_str()), 0);
    const std::string roomy = dir.Write("roomy.csv", "old\n");
    ASSERT_EQ(::symlink(roomy.c_str(), link.c_str()), 0);
    CliResult done = exportTo(link);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(S_ISLNK(LinkMode(link)));
    EXPECT_EQ(ReadFileBytes(roomy).rfind("n,t\r\n0,", 0), 0u);
}
