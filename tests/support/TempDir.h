#pragma once

// A scratch folder of a test's own, and whole-file reads and writes in it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace velkan::test {

namespace fs = std::filesystem;

inline std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Made fresh under /tmp and removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/velkan-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(m_path); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const fs::path &path() const { return m_path; }
    std::string file(const std::string &name) const { return (m_path / name).string(); }
    // Writes the file and gives its path.
    std::string write(const std::string &name, const std::string &bytes) const
    {
        writeBytes(m_path / name, bytes);
        return file(name);
    }

private:
    fs::path m_path;
};

} // namespace velkan::test
