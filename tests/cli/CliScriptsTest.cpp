#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/TestPaths.h"

// kalvex-cli as scripts use it: failed writes, closed pipes, --database and option values.
namespace {

const std::string kWriteFailed = "出力の書き込みに失敗しました。\n";

std::string Dump(const std::string& name) {
    return ShellQuote(FixturePath("dumps/" + name));
}

// One command per kind of output; every one writes to standard output.
std::vector<std::string> EveryCommand() {
    const std::string main = Dump("kx_main.custom.dump");
    return {"detect " + main,
            "info " + main,
            "info --tsv " + main,
            "columns " + main + " simple",
            "ddl " + main,
            "ddl " + main + " simple",
            "rows " + main + " many_rows",
            "export " + main + " many_rows"};
}

struct Shell {
    int exitCode = -1;
    std::string err;
    bool emptyTemp = false;
};

// Runs a bash command line with a private temporary folder; "CLI" stands for kalvex-cli.
Shell RunShell(const std::string& line) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("tmp"));
    std::string script = line;
    for (size_t at; (at = script.find("CLI")) != std::string::npos;) {
        script.replace(at, 3, ShellQuote(KALVEX_CLI_PATH));
    }
    const std::string command = "TMPDIR=" + ShellQuote(dir.File("tmp")) + " bash -c " +
                                ShellQuote("set -o pipefail; " + script) + " 2>" +
                                ShellQuote(dir.File("err")) + " </dev/null";
    Shell result;
    const int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadFileBytes(dir.File("err"));
    const std::string kalvexTemp = dir.File("tmp/Kalvex");
    result.emptyTemp =
        !std::filesystem::exists(kalvexTemp) || std::filesystem::is_empty(kalvexTemp);
    return result;
}

// Runs kalvex-cli with standard output on a pipe whose reader is already gone.
Shell RunIntoClosedPipe(const std::vector<std::string>& args) {
    ScratchDir dir;
    const std::string tmp = dir.File("tmp");
    std::filesystem::create_directory(tmp);
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const std::string errPath = dir.File("err");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        FILE* err = std::freopen(errPath.c_str(), "w", stderr);
        (void)err;
        ::setenv("TMPDIR", tmp.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(KALVEX_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KALVEX_CLI_PATH, argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Shell result;
    // Killed by SIGPIPE after cleaning up, as other tools end on a closed pipe.
    result.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    result.err = ReadFileBytes(errPath);
    result.emptyTemp = std::filesystem::is_empty(tmp + "/Kalvex");
    return result;
}

}  // namespace

TEST(CliScriptsTest, FailedWritesAreFailures) {
    for (const std::string& command : EveryCommand()) {
        SCOPED_TRACE(command);
        for (const char* redirect : {" >/dev/full", " >&-"}) {
            SCOPED_TRACE(redirect);
            const Shell r = RunShell("CLI " + command + redirect);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, kWriteFailed);
            EXPECT_TRUE(r.emptyTemp);
        }
        // A reader that stops early ends the command quietly.
        const Shell head = RunShell("CLI " + command + " | head -1 >/dev/null");
        EXPECT_TRUE(head.exitCode == 0 || head.exitCode == 128 + SIGPIPE) << head.exitCode;
        EXPECT_EQ(head.err, "");
        EXPECT_TRUE(head.emptyTemp);
    }
    // An export to a file does not need standard output at all.
    ScratchDir dir;
    const Shell toFile = RunShell("CLI export " + Dump("kx_main.custom.dump") + " simple -o " +
                                  ShellQuote(dir.File("s.csv")) + " >&-");
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_FALSE(ReadFileBytes(dir.File("s.csv")).empty());
}

TEST(CliScriptsTest, ClosedPipeEndsQuietlyAndCleansUp) {
    const std::string main = FixturePath("dumps/kx_main.sql.gz");  // expanded to a temp file
    const std::vector<std::vector<std::string>> commands = {
        {"rows", main, "many_rows"}, {"export", main, "many_rows"}, {"info", main}, {"ddl", main}};
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const Shell r = RunIntoClosedPipe(args);
        EXPECT_EQ(r.exitCode, 128 + SIGPIPE);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(r.emptyTemp);
    }
}

TEST(CliScriptsTest, DatabaseIsChecked) {
    struct Case {
        std::string dump;
        const char* database;  // null: no --database
        int exitCode;
        const char* err;
    };
    const std::string cluster = Dump("cluster.dumpall.sql");
    const std::string one = Dump("kx_main.custom.dump");
    const std::string plainOne = Dump("kx_main.sql");
    const std::string missing = "データベースが見つかりません(nosuch)。\n";
    const Case cases[] = {
        {cluster, "kx_main", 0, ""},
        {cluster, nullptr, 0, ""},
        {cluster, "nosuch", 1, missing.c_str()},
        {cluster, "kx_latin1", 1, "テーブルが見つかりません(public.simple)。\n"},
        {one, "kx_main", 0, ""},
        {one, nullptr, 0, ""},
        {one, "nosuch", 1, missing.c_str()},
        {plainOne, "kx_main", 0, ""},
        // A plain script of one database does not say which: no name can be refused.
        {plainOne, "nosuch", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string database =
            c.database ? std::string(" --database ") + ShellQuote(c.database) : "";
        for (const std::string& command :
             {"columns " + c.dump + " public.simple", "ddl " + c.dump + " public.simple",
              "rows " + c.dump + " public.simple", "export " + c.dump + " public.simple"}) {
            SCOPED_TRACE(command + database);
            const CliResult r = RunCli(command + database);
            EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
            EXPECT_EQ(r.err, c.err);
            if (c.exitCode == 0) EXPECT_FALSE(r.out.empty());
        }
    }
    // The whole dump's DDL: a wrong name no longer prints nothing and succeeds.
    EXPECT_EQ(RunCli("ddl " + cluster + " --database nosuch").err, missing);
    EXPECT_EQ(RunCli("ddl " + cluster + " --database nosuch").exitCode, 1);
    EXPECT_EQ(RunCli("ddl " + one + " --database nosuch").exitCode, 1);
    const CliResult own = RunCli("ddl " + one + " --database kx_main");
    EXPECT_EQ(own.exitCode, 0);
    EXPECT_EQ(own.out, RunCli("ddl " + one).out);
    const CliResult latin1 = RunCli("ddl " + cluster + " --database kx_latin1");
    EXPECT_EQ(latin1.exitCode, 0);
    EXPECT_NE(latin1.out.find("plain_ascii"), std::string::npos);
    EXPECT_EQ(latin1.out.find("many_rows"), std::string::npos);
}

TEST(CliScriptsTest, WrongOptionValuesNameTheOption) {
    const std::string main = Dump("kx_main.custom.dump");
    struct Case {
        std::string args;
        std::string line;  // the first line of stderr
        const char* usage;
    };
    const Case cases[] = {
        {"export " + main + " simple --delimiter semicolon",
         "--delimiter の値が不正です(semicolon)。指定できる値: comma, tab",
         "usage: kalvex-cli export"},
        {"export " + main + " simple --encoding utf8",
         "--encoding の値が不正です(utf8)。指定できる値: UTF8BOM, UTF8, SJIS",
         "usage: kalvex-cli export"},
        {"rows " + main + " simple --from 0",
         "--from の値が不正です(0)。指定できる値: 1 以上の整数", "usage: kalvex-cli rows"},
        {"rows " + main + " simple --count -1",
         "--count の値が不正です(-1)。指定できる値: 0 以上の整数", "usage: kalvex-cli rows"},
        {"rows " + main + " simple --count 1 --count 2",
         "--count が重複しています(2)。1回だけ指定してください。", "usage: kalvex-cli rows"},
        {"export " + main + " simple --quote-all --quote-all",
         "--quote-all が重複しています。1回だけ指定してください。", "usage: kalvex-cli export"},
        {"columns " + main + " simple --database a --database b",
         "--database が重複しています(b)。1回だけ指定してください。", "usage: kalvex-cli columns"},
        {"info --tsv --tsv " + main, "--tsv が重複しています。1回だけ指定してください。",
         "usage: kalvex-cli info"},
        {"ddl " + main + " --bogus", "不明なオプションです(--bogus)。", "usage: kalvex-cli ddl"},
        {"rows " + main + " simple --from", "--from の値がありません。", "usage: kalvex-cli rows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.line);
        EXPECT_NE(r.err.find(std::string("\n") + c.usage), std::string::npos) << r.err;
    }
}
