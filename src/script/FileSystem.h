#pragma once

#include "script/ByteBlock.h"

#include <string>
#include <string_view>

namespace velkan {

// The few file operations loading and saving need, behind a seam so tests can
// make any step fail (the tests run as root, where permission bits stop nothing).
class FileSystem {
public:
    enum class ReadStatus { Ok, CannotOpen, ReadError, TooLarge };

    virtual ~FileSystem() = default;

    // Reads the whole file. On ReadError, out holds the bytes read before it;
    // a file longer than readLimit() is TooLarge and nothing is kept.
    virtual ReadStatus readAll(const std::string &path, ByteBlock &out) const;
    // The longest file read whole: 1 GiB, or a sixteenth of the memory when
    // that is less (a script's line table can take eight times its size).
    virtual std::size_t readLimit() const;
    // The same into a string, for small files.
    ReadStatus readText(const std::string &path, std::string &out) const;

    // The path a save really replaces: a symbolic link is followed to its target.
    virtual std::string resolveTarget(const std::string &path) const;
    // Whether path (existing or not) can be written: an existing file opens for
    // writing, a new one's folder takes new files.
    virtual bool canWrite(const std::string &path) const;

    // What a save must keep of an existing file.
    struct TargetInfo {
        bool exists = false;
        bool regular = false; // not a pipe, a device or a socket
        unsigned links = 0;   // hard links to the file
        int owner = -1;
        int group = -1;
        bool ownAttributes = false; // an ACL or extended attributes a new file would lack
    };
    virtual TargetInfo inspect(const std::string &path) const;
    // Opens an existing file to be written over from its start (cut to empty);
    // a pipe without a reader fails rather than waiting. Returns -1 on failure.
    virtual int openInPlace(const std::string &path) const;
    virtual bool setOwner(int fd, int owner, int group) const;
    // Permission bits to give the new file: those of the old one, or the
    // defaults for a new file. Returns -1 for "default".
    virtual int permissionsOf(const std::string &path) const;

    // A new temporary file in folder; returns a descriptor or -1.
    virtual int createTemp(const std::string &folder, std::string &tempPath) const;
    virtual bool write(int fd, std::string_view data) const;
    virtual bool sync(int fd) const;
    virtual bool setPermissions(int fd, int mode) const;
    virtual bool close(int fd) const;
    virtual bool rename(const std::string &from, const std::string &to) const;
    virtual void remove(const std::string &path) const;
    virtual void syncFolder(const std::string &folder) const;

    static const FileSystem &real();

    // What loads and saves use when given no file system: the real one, or the
    // one a test has put in place, so a whole form can be driven into any
    // failure. The stand-in is not owned; nullptr puts the real one back.
    static const FileSystem &current();
    static void setCurrent(const FileSystem *fs);
};

} // namespace velkan
