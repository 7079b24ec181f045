// SPDX-License-Identifier: GPL-3.0-or-later
// The one file of the core that uses POSIX: safe replacement of a file needs unnamed files,
// fsync, fchmod, fchown, linkat and renameat, which the standard library does not offer.
#include "core/stylesheet.h"
#include "core/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rulecraft {

namespace fs = std::filesystem;

namespace {

// The reason names the file, and the system's own words when it gave an error number.
WriteResult failure(const fs::path& path, std::string_view why, int error = 0)
{
    if (error == 0)
        return {false, joined({path.string(), ": ", why})};
    return {false, joined({path.string(), ": ", why, " (", std::strerror(error), ")"})};
}

// Follows a chain of symbolic links to the file it finally names, which need not exist
// yet, so that saving through a link writes the linked file and keeps the link.
std::optional<fs::path> resolveLinks(fs::path path)
{
    constexpr int maxHops = 40;
    for (int hop = 0; hop < maxHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        fs::path target = fs::read_symlink(path, error);
        if (error)
            return std::nullopt;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool writeFileBytes(int fd, std::string_view text)
{
    return forEachFilePiece(text, [fd](std::string_view piece) { return writeAll(fd, piece); });
}

mode_t defaultFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

fs::path folderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Refuses what must not be replaced. The checks look at permission bits as well as at
// access(), because a process running as root is granted access to a read-only file and
// the rename would replace it anyway.
std::optional<WriteResult> refusal(const fs::path& target, const struct stat* existing)
{
    if (const PathProblem problem = pathProblem(target.string()); problem != PathProblem::None)
        return failure(target, pathProblemText(problem));
    if (existing) {
        if (S_ISDIR(existing->st_mode))
            return failure(target, "this is a folder");
        if (!S_ISREG(existing->st_mode))
            return failure(target, "this is not a regular file");
        if ((existing->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return failure(target, "the file is read-only");
        if (::access(target.c_str(), W_OK) != 0)
            return failure(target, "you may not write this file", errno);
    }
    return std::nullopt;
}

// After a rename the new name lives in the folder; syncing the folder keeps a crash from
// bringing the old file back. Some network and FUSE file systems cannot sync a folder at
// all; there the rename is as safe as they make it, and the file is saved.
bool syncFolder(int folder)
{
    return ::fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP;
}

// Closes a descriptor when it goes out of use.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that the error of closing is seen.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// A name for a new file beside the target. It is short, so that any legal target name can
// be saved; every step names it relative to the folder, so that any legal path can.
std::string temporaryName()
{
    static constexpr std::string_view letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::string name = ".rulecraft-";
    for (int i = 0; i < 6; ++i)
        name += letters[random() % letters.size()];
    return name;
}

// The new text's file in the folder. Where the file system allows, it has no name until it
// is complete, so that a save cut short by a crash or a kill leaves nothing behind.
struct NewFile {
    int fd = -1;
    std::string name; // empty while it has none
};

NewFile createBeside(int folder, mode_t mode)
{
    const int unnamed = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return {unnamed, {}};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName();
        const int fd = ::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return {fd, std::move(name)};
    }
    return {};
}

// Gives a complete unnamed file a temporary name in the folder, for the rename.
bool nameFile(int folder, NewFile& file)
{
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName();
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.name = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// The way to save a writable file that no new file can stand in for: where the folder
// refuses a new file or the rename, or a new file could not keep the old one's owner and
// group. It is emptied and written where it is, so its inode, owner, group, mode, links and
// extended attributes stay; only here is the old text not kept whole until the new one is.
WriteResult writeInPlace(const fs::path& target, std::string_view text)
{
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.get() < 0)
        return failure(target, "cannot open the file", errno);
    if (!writeFileBytes(fd.get(), text) || ::fsync(fd.get()) != 0)
        return failure(target, "writing failed", errno);
    if (!fd.close())
        return failure(target, "writing failed", errno);
    return {};
}

} // namespace

PathProblem pathProblem(const std::string& path)
{
    const fs::path file(path);
    if (path.size() >= PATH_MAX || file.filename().string().size() > NAME_MAX)
        return PathProblem::TooLong;
    struct stat folder {};
    if (::stat(folderOf(file).c_str(), &folder) != 0)
        return errno == ENAMETOOLONG ? PathProblem::TooLong
               : errno == ENOTDIR    ? PathProblem::NotAFolder
                                     : PathProblem::FolderMissing;
    return S_ISDIR(folder.st_mode) ? PathProblem::None : PathProblem::NotAFolder;
}

std::string_view pathProblemText(PathProblem problem)
{
    switch (problem) {
    case PathProblem::None:
        break;
    case PathProblem::TooLong:
        return "The path is too long.";
    case PathProblem::FolderMissing:
        return "The folder does not exist.";
    case PathProblem::NotAFolder:
        return "Part of the path is not a folder.";
    }
    return {};
}

WriteResult writeStylesheet(const std::string& path, std::string_view text)
{
    if (path.empty())
        return {false, "no file name was given"};
    const std::optional<fs::path> resolved = resolveLinks(path);
    if (!resolved)
        return failure(path, "the link cannot be followed");
    const fs::path& target = *resolved;
    const fs::path folder = folderOf(target);

    struct stat existingStat {};
    const bool exists = ::stat(target.c_str(), &existingStat) == 0;
    if (auto refused = refusal(target, exists ? &existingStat : nullptr))
        return *refused;

    Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0)
        return failure(target, joined({"cannot open the folder ", folder.string()}), errno);
    const mode_t mode = exists ? (existingStat.st_mode & 07777) : defaultFileMode();

    // The new text goes into a new file beside the target and replaces it by a rename, so
    // an earlier file is never left half-written.
    NewFile file = createBeside(folderFd.get(), mode);
    if (file.fd < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return writeInPlace(target, text);
        return failure(target, joined({"cannot create a file in ", folder.string()}), errno);
    }
    Descriptor fd(file.fd);
    // Every failure from here on removes the new file; errno is read before the clean-up
    // can change it.
    const auto removeNew = [&] {
        if (!file.name.empty())
            ::unlinkat(folderFd.get(), file.name.c_str(), 0);
    };
    const auto abandon = [&](std::string_view why) {
        const int error = errno;
        removeNew();
        return failure(target, why, error);
    };

    // The mode given at creation is cut by the umask; the old file's is kept whole.
    if (::fchmod(fd.get(), mode) != 0)
        return abandon("cannot set the permissions");
    // Only root may give a file away, and a user may give it only a group of the user's own;
    // a new file that cannot take the old one's owner and group would silently change them
    // (another member's group-shared file, another user's file in a sticky folder), so the
    // old file is written in place. Asked before the text is written, so that it is written
    // once; EINVAL is an owner this user namespace has no number for.
    if (exists && ::fchown(fd.get(), existingStat.st_uid, existingStat.st_gid) != 0) {
        if (errno != EPERM && errno != EINVAL)
            return abandon("cannot keep the owner");
        removeNew();
        return writeInPlace(target, text);
    }
    if (!writeFileBytes(fd.get(), text) || ::fsync(fd.get()) != 0)
        return abandon("writing failed");
    if (file.name.empty() && !nameFile(folderFd.get(), file))
        return abandon("cannot name the new file");
    if (!fd.close())
        return abandon("writing failed");
    const std::string name = target.filename().string();
    if (::renameat(folderFd.get(), file.name.c_str(), folderFd.get(), name.c_str()) != 0) {
        // A folder may let the user write a file but not replace it.
        if (!exists || (errno != EPERM && errno != EACCES))
            return abandon("cannot replace the file");
        removeNew();
        return writeInPlace(target, text);
    }
    if (!syncFolder(folderFd.get()))
        return failure(target, "writing failed", errno);
    return {};
}

} // namespace rulecraft
