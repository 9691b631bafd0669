#include "ToolRun.h"

#include "VelkanTool.h"
#include "script/Messages.h"

#include <sstream>

namespace velkan::test {
namespace {

TEST(ToolUsage, BadCommandLinesExitTwoWithTheUsageAndTouchNothing)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@WAIT(2,0);\r\n");
    const std::string old = dir.write("old.wrd", "old\r\n");
    const std::string program = "usage: velkan-tool COMMAND";
    const std::string newUsage = "usage: velkan-tool new LYRICS [-o OUT]";
    const std::string tempo = "usage: velkan-tool tempo SONG.mid";
    const std::string locate = "usage: velkan-tool locate SONG.mid QUARTER";
    const std::string clock = "usage: velkan-tool clock SONG.mid [--speed PERCENT] [--grid "
                              "4|8|16|step] [--latency MS] MS [MS...]";
    const std::string shift = "usage: velkan-tool shift STEPS IN [-o OUT] [--song SONG.mid]";
    struct Case {
        std::vector<std::string> args;
        std::string usage;
    };
    const std::vector<Case> cases = {
        {{}, program},
        {{"frobnicate"}, program},
        {{"--verbose"}, program},
        {{"new"}, newUsage},
        {{"new", in, old}, newUsage},
        {{"new", in, "-o"}, newUsage},
        {{"new", in, "-o", old, "-o", old}, newUsage},
        {{"new", in, "--output="}, newUsage},
        {{"new", in, "--song", in}, newUsage},
        {{"tempo"}, tempo},
        {{"tempo", in, in}, tempo},
        {{"tempo", in, "-o", old}, tempo},
        {{"locate", in}, locate},
        {{"locate", in, "x"}, locate},
        {{"locate", in, "-1"}, locate},
        {{"locate", in, "1.5"}, locate},
        {{"locate", in, "99999999999"}, locate},
        {{"clock"}, clock},
        {{"clock", in}, clock},
        {{"clock", in, "-5"}, clock},
        {{"clock", in, "100", "-0.5"}, clock},
        {{"clock", in, "abc"}, clock},
        {{"clock", in, "1e3"}, clock},
        {{"clock", in, "inf"}, clock},
        {{"clock", in, "++1"}, clock},
        {{"clock", in, "1.2.3"}, clock},
        {{"clock", in, "."}, clock},
        {{"clock", in, "12,5"}, clock},
        {{"clock", in, "10", "-o", old}, clock},
        {{"clock", in, "--speed", "45", "10"}, clock},
        {{"clock", in, "--speed", "155", "10"}, clock},
        {{"clock", in, "--speed=52", "10"}, clock},
        {{"clock", in, "--speed", "1e2", "10"}, clock},
        {{"clock", in, "10", "--speed"}, clock},
        {{"clock", in, "--grid", "32", "10"}, clock},
        {{"clock", in, "--grid=", "10"}, clock},
        {{"clock", in, "--latency", "1001", "10"}, clock},
        {{"clock", in, "--latency", "1.5", "10"}, clock},
        {{"clock", in, "--grid", "8", "--grid", "8", "10"}, clock},
        {{"locate", in, "0", "--speed", "50"}, locate},
        {{"shift", "13", in, "-o", old}, shift},
        {{"shift", "0", in, "-o", old}, shift},
        {{"shift", "+-12", in, "-o", old}, shift},
        {{"shift", in, "-48", "-o", old}, shift},
        {{"shift", "-48"}, shift},
        {{"shift", "-48", in, in, "-o", old}, shift},
        {{"shift", "-x", in, "-o", old}, shift},
        {{"shift", "12", in, "-o", old, "--song"}, shift},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ToolRun r = dir.run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("velkan-tool: ")) << r.err;
        EXPECT_NE(r.err.find("\n" + c.usage), std::string::npos) << r.err;
        EXPECT_EQ(readBytes(old), "old\r\n");
    }
}

TEST(ToolUsage, HelpAndVersion)
{
    ToolDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string begins;
    };
    const std::vector<Case> cases = {
        {{"--help"}, "usage: velkan-tool COMMAND"},
        {{"-h"}, "usage: velkan-tool COMMAND"},
        {{"new", "--help"}, "usage: velkan-tool new LYRICS"},
        {{"tempo", "-h"}, "usage: velkan-tool tempo SONG.mid\n"},
        {{"locate", "--help"}, "usage: velkan-tool locate SONG.mid QUARTER\n"},
        {{"clock", "--help"}, "usage: velkan-tool clock SONG.mid [--speed PERCENT]"},
        {{"shift", "--help"}, "usage: velkan-tool shift STEPS IN"},
        // Help is given even where the rest of the line is wrong.
        {{"shift", "13", "--help"}, "usage: velkan-tool shift STEPS IN"},
        {{"new", "a", "b", "--bogus", "-h"}, "usage: velkan-tool new LYRICS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[0] + " " + c.args[1] : c.args[0]);
        const ToolRun r = dir.run(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.starts_with(c.begins)) << r.out;
        EXPECT_EQ(r.err, "");
    }
    // Every subcommand is named in the program's help.
    const std::string help = dir.run({"--help"}).out;
    for (const char *command :
         {"\n  new ", "\n  tempo ", "\n  locate ", "\n  clock ", "\n  shift "})
        EXPECT_NE(help.find(command), std::string::npos) << command;

    const ToolRun version = dir.run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velkan-tool " VELKAN_PROJECT_VERSION "\n");
}

// A disk that breaks off a read, or refuses the final rename of a save.
class BrokenDisk : public FileSystem {
public:
    bool breakReads = false;
    bool breakRename = false;

    ReadStatus readAll(const std::string &path, ByteBlock &out) const override
    {
        const ReadStatus status = FileSystem::readAll(path, out);
        if (breakReads && status == ReadStatus::Ok) {
            out.resize(out.size() / 2);
            return ReadStatus::ReadError;
        }
        return status;
    }
    bool rename(const std::string &from, const std::string &to) const override
    {
        return !breakRename && FileSystem::rename(from, to);
    }
};

struct InProcess {
    int status;
    std::string out;
    std::string err;
};

InProcess runWith(const FileSystem &disk, const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    VelkanTool tool(out, err, disk);
    const int status = tool.run(args);
    return {status, out.str(), err.str()};
}

TEST(ToolFailure, ABrokenReadWritesNothing)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@WAIT(2,0);\r\n@WAIT(3,0);\r\n");
    const std::string old = dir.write("old.wrd", "old\r\n");
    BrokenDisk disk;
    disk.breakReads = true;
    for (const std::vector<std::string> &args : {std::vector<std::string>{"new", in},
                                                 {"new", in, "-o", old},
                                                 {"shift", "12", in},
                                                 {"shift", "12", in, "-o", old}}) {
        SCOPED_TRACE(args[0] + " " + std::to_string(args.size()));
        const InProcess r = runWith(disk, args);
        EXPECT_EQ(r.status, VelkanTool::kExitFailure);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "velkan-tool: " + std::string(messages::kCannotOpenInput) + ": " + in + "\n");
        EXPECT_EQ(readBytes(old), "old\r\n");
    }
}

TEST(ToolFailure, AFailedSaveKeepsTheOldFileAndReportsNoCount)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@WAIT(2,0);\r\n");
    const std::string old = dir.write("old.wrd", "old\r\n");
    BrokenDisk disk;
    disk.breakRename = true;
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"new", in, "-o", old}, {"shift", "12", in, "-o", old}}) {
        SCOPED_TRACE(args[0]);
        const InProcess r = runWith(disk, args);
        EXPECT_EQ(r.status, VelkanTool::kExitFailure);
        EXPECT_EQ(r.err, "velkan-tool: " + std::string(messages::kWriteFailed) + ": " + old +
                             ": 元のファイルとの置き換えに失敗しました\n");
        EXPECT_EQ(readBytes(old), "old\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    }
}

TEST(ToolFailure, StandardOutputThatTakesNothingFails)
{
    ToolDir dir;
    const std::string in = dir.write("in.txt", "A\r\n");
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    VelkanTool tool(out, err);
    EXPECT_EQ(tool.run({"new", in}), VelkanTool::kExitFailure);
    EXPECT_EQ(err.str(), "velkan-tool: 標準出力に書き込めません\n");

    // The real program on a full device.
    if (fs::exists("/dev/full")) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int full = ::open("/dev/full", O_WRONLY);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(full, 1);
            ::dup2(null, 2);
            ::execl(VELKAN_TOOL_PATH, VELKAN_TOOL_PATH, "new", in.c_str(), nullptr);
            ::_exit(127);
        }
        int wstatus = 0;
        ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
        ASSERT_TRUE(WIFEXITED(wstatus));
        EXPECT_EQ(WEXITSTATUS(wstatus), VelkanTool::kExitFailure);
    }
}

} // namespace
} // namespace velkan::test
