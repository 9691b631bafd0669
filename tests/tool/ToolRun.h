#pragma once

// Runs the built velkan-tool as a user would, in a scratch folder.

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

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

inline std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class ToolDir {
public:
    ToolDir()
    {
        char pattern[] = "/tmp/velkan-tool-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~ToolDir() { fs::remove_all(m_path); }
    ToolDir(const ToolDir &) = delete;
    ToolDir &operator=(const ToolDir &) = delete;

    std::string file(const std::string &name) const { return (m_path / name).string(); }
    std::string write(const std::string &name, const std::string &bytes) const
    {
        writeBytes(m_path / name, bytes);
        return file(name);
    }
    const fs::path &path() const { return m_path; }

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
            if (in < 0 || out < 0 || err < 0 || ::chdir(m_path.c_str()) != 0)
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

private:
    fs::path m_path;
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
