#include "script/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkan {

FileSystem::ReadStatus FileSystem::readAll(const std::string &path, ByteBlock &out) const
{
    out.resize(0);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadStatus::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return ReadStatus::CannotOpen;
    }
    // A regular file is read straight into place; then, and for anything else
    // (a pipe, a file that grows while read), in pieces until the end.
    std::size_t got = 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        out.resize(static_cast<std::size_t>(st.st_size));
    char piece[1 << 16];
    for (;;) {
        const bool inPlace = got < out.size();
        char *into = inPlace ? out.data() + got : piece;
        const std::size_t room = inPlace ? out.size() - got : sizeof piece;
        const ssize_t n = ::read(fd, into, room);
        if (n > 0) {
            if (!inPlace)
                out.append({piece, static_cast<std::size_t>(n)});
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            out.resize(got);
            ::close(fd);
            return ReadStatus::ReadError;
        }
    }
    out.resize(got);
    ::close(fd);
    return ReadStatus::Ok;
}

FileSystem::ReadStatus FileSystem::readText(const std::string &path, std::string &out) const
{
    ByteBlock block;
    const ReadStatus status = readAll(path, block);
    out.assign(block.view());
    return status;
}

std::string FileSystem::resolveTarget(const std::string &path) const
{
    std::string current = path;
    // Follow a chain of links by hand so a dangling link still names the file
    // it will create.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
        if (n < 0)
            return current;
        target[n] = '\0';
        std::string next(target);
        if (next.empty() || next[0] != '/') {
            const auto slash = current.rfind('/');
            next =
                (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + next;
        }
        current = next;
    }
    return current;
}

bool FileSystem::canWrite(const std::string &path) const
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return false;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

int FileSystem::permissionsOf(const std::string &path) const
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return static_cast<int>(st.st_mode & 07777);
    return -1;
}

int FileSystem::createTemp(const std::string &folder, std::string &tempPath) const
{
    std::string pattern = folder + "/.velkan-save-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0)
        tempPath = pattern;
    return fd;
}

bool FileSystem::write(int fd, std::string_view data) const
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool FileSystem::sync(int fd) const
{
    return ::fsync(fd) == 0;
}

bool FileSystem::setPermissions(int fd, int mode) const
{
    if (mode < 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<int>(0666 & ~mask);
    }
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

bool FileSystem::close(int fd) const
{
    return ::close(fd) == 0;
}

bool FileSystem::rename(const std::string &from, const std::string &to) const
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void FileSystem::remove(const std::string &path) const
{
    ::unlink(path.c_str());
}

void FileSystem::syncFolder(const std::string &folder) const
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

const FileSystem &FileSystem::real()
{
    static const FileSystem fs;
    return fs;
}

namespace {
std::atomic<const FileSystem *> g_current{nullptr};
} // namespace

const FileSystem &FileSystem::current()
{
    const FileSystem *fs = g_current.load();
    return fs ? *fs : real();
}

void FileSystem::setCurrent(const FileSystem *fs)
{
    g_current.store(fs);
}

} // namespace velkan
