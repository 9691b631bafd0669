#include "script/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace velkan {

FileSystem::ReadStatus FileSystem::readAll(const std::string &path, ByteBlock &out) const
{
    out.resize(0);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadStatus::CannotOpen;
    // Closed however the read ends, out of memory too.
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        return ReadStatus::CannotOpen;
    const auto finish = [&](std::size_t got, ReadStatus status) {
        out.resize(got);
        return status;
    };

    // A regular file is read straight into place, the bytes it had when
    // opened; then, and for anything else (a pipe), in pieces to the end.
    // One read: two threads each reading half of a large file measured no
    // faster (bench_script).
    const std::size_t limit = readLimit();
    std::size_t got = 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size > limit)
            return ReadStatus::TooLarge;
        out.resize(size);
        while (got < size) {
            const ssize_t n = ::read(fd, out.data() + got, size - got);
            if (n > 0)
                got += static_cast<std::size_t>(n);
            else if (n == 0)
                return finish(got, ReadStatus::Ok); // the file was cut short meanwhile
            else if (errno != EINTR)
                return finish(got, ReadStatus::ReadError);
        }
    }
    char piece[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, piece, sizeof piece);
        if (n > 0 && static_cast<std::size_t>(n) > limit - got) {
            out = ByteBlock();
            return ReadStatus::TooLarge;
        }
        if (n > 0) {
            out.append({piece, static_cast<std::size_t>(n)});
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return finish(got, ReadStatus::ReadError);
        }
    }
    return finish(got, ReadStatus::Ok);
}

std::size_t FileSystem::readLimit() const
{
    std::size_t limit = std::size_t{1} << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        limit = std::min(limit,
                         static_cast<std::size_t>(pages) / 16 * static_cast<std::size_t>(pageSize));
    return limit;
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
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // An existing file is written in place where no new one can be made
        // beside it: the file itself must take writing.
        if (S_ISREG(st.st_mode))
            return ::access(path.c_str(), W_OK) == 0;
        return true; // a pipe or a device: its opening says
    }
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

FileSystem::TargetInfo FileSystem::inspect(const std::string &path) const
{
    TargetInfo info;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return info;
    info.exists = true;
    info.regular = S_ISREG(st.st_mode);
    info.links = static_cast<unsigned>(st.st_nlink);
    info.owner = static_cast<int>(st.st_uid);
    info.group = static_cast<int>(st.st_gid);
    // Names of extended attributes, NUL-separated; a security label (SELinux)
    // is given to a new file anyway, everything else would be lost.
    char names[4096];
    const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
    if (size < 0) {
        info.ownAttributes = errno == ERANGE; // more than fits: surely some
        return info;
    }
    for (ssize_t at = 0; at < size;) {
        const std::string_view name(names + at);
        if (!name.starts_with("security."))
            info.ownAttributes = true;
        at += static_cast<ssize_t>(name.size()) + 1;
    }
    return info;
}

int FileSystem::openInPlace(const std::string &path) const
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // Non-blocking only for the opening: writes may wait for a slow reader.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool FileSystem::setOwner(int fd, int owner, int group) const
{
    return ::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0;
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
