#pragma once

// Runs the built velkan-tool as a user would, in a scratch folder.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velkan::test {

struct ToolRun {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A scratch folder to run the tool in.
class ToolDir : public TempDir {
public:
    // Runs velkan-tool with args; stdinBytes, when given, is its standard input.
    ToolRun run(const std::vector<std::string> &args, const std::string *stdinBytes = nullptr) const
    {
        const std::string outPath = file(".stdout"), errPath = file(".stderr"),
                          inPath = file(".stdin");
        writeBytes(inPath, stdinBytes ? *stdinBytes : std::string());
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open(inPath.c_str(), O_RDONLY);
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0 || ::chdir(path().c_str()) != 0)
                ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char *> argv;
            argv.push_back(const_cast<char *>(VELKAN_TOOL_PATH));
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(VELKAN_TOOL_PATH, argv.data());
            ::_exit(127);
        }
        ToolRun result;
        int wstatus = 0;
        if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
            result.status = WEXITSTATUS(wstatus);
        result.out = readBytes(outPath);
        result.err = readBytes(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        fs::remove(inPath);
        return result;
    }
};

// Lines joined with CR LF after each, as a saved script holds them.
inline std::string crlf(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &l : lines)
        out += l + "\r\n";
    return out;
}

// Lines joined with LF after each, as the tool prints reports.
inline std::string lf(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &l : lines)
        out += l + "\n";
    return out;
}

} // namespace velkan::test
