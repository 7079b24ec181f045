// SPDX-License-Identifier: GPL-3.0-or-later
// The one file of the core that uses POSIX for writing: safe replacement of a file needs
// unnamed files, fsync, fallocate, linkat and renameat, which the standard library does not
// offer; file_attributes.cpp carries owner, mode and attributes over.
#include "core/file_attributes.h"
#include "core/stylesheet.h"
#include "core/descriptor.h"
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

// The reason names the file, gives the system's own words when it gave an error number,
// and says, after it, what became of an earlier file.
WriteResult failure(const fs::path& path, std::string_view why, int error = 0,
                    std::string_view earlier = {})
{
    if (error == 0)
        return {false, joined({path.string(), ": ", why, earlier})};
    return {false, joined({path.string(), ": ", why, " (", std::strerror(error), ")", earlier})};
}

fs::path folderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The kernel's rule for links (fs.protected_symlinks): in a sticky folder that everyone may
// write, such as /tmp, a link is followed only if it is the follower's or the folder owner's,
// so that nobody can plant a link there that sends another user's save onto their own file.
bool followable(const fs::path& path, const struct stat& link)
{
    struct stat folder {};
    if (::stat(folderOf(path).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// Follows a chain of symbolic links to the file it finally names, which need not exist
// yet, so that saving through a link writes the linked file and keeps the link. The writer
// follows them itself, so the kernel's rule is applied here; empty when path names the file.
std::string_view resolveLinks(fs::path& path)
{
    constexpr int maxHops = 40;
    for (int hop = 0; hop < maxHops; ++hop) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return {};
        if (!followable(path, link))
            return "the link belongs to another user of a shared folder, so it is not followed";
        std::error_code error;
        fs::path target = fs::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return "the link cannot be followed";
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

// A name for a new file beside the target. It is short, so that any legal target name can
// be saved; every step names it relative to the folder, so that any legal path can.
std::string temporaryName(std::string_view prefix)
{
    static constexpr std::string_view letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::string name(prefix);
    for (int i = 0; i < 6; ++i)
        name += letters[random() % letters.size()];
    return name;
}

// The new text's file in the folder. Where the file system allows, it has no name until it
// is complete, so that a save cut short by a crash or a kill leaves nothing behind.
struct NewFile {
    int fd = -1;
    std::string name; // empty while it has none
    std::string_view prefix = ".rulecraft-";
};

NewFile createBeside(int folder, mode_t mode, std::string_view prefix = ".rulecraft-")
{
    const int unnamed = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return {unnamed, {}, prefix};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName(prefix);
        const int fd =
            ::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return {fd, std::move(name), prefix};
    }
    return {};
}

// Gives a complete unnamed file a temporary name in the folder, for the rename.
bool nameFile(int folder, NewFile& file)
{
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName(file.prefix);
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.name = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Copies from's bytes, from its start, to to's place; size is how many.
bool copyBytes(int from, int to, off_t& size)
{
    std::string buffer(64 * 1024, '\0');
    for (size = 0;;) {
        const ssize_t got = ::pread(from, buffer.data(), buffer.size(), size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!writeAll(to, std::string_view(buffer).substr(0, static_cast<std::size_t>(got))))
            return false;
        size += got;
    }
}

// A copy of the old bytes beside the file, synced under its name before the file is touched,
// as careful editors keep a backup copy. Its name; empty where the folder refuses new files;
// nullopt, with errno, where it could not be made.
std::optional<std::string> keepCopy(int folder, int from)
{
    NewFile copy = createBeside(folder, 0600, ".rulecraft-old-");
    if (copy.fd < 0)
        return errno == EACCES || errno == EPERM ? std::optional(std::string()) : std::nullopt;
    Descriptor fd(copy.fd);
    off_t size = 0;
    if (copyBytes(from, fd.get(), size) && ::fsync(fd.get()) == 0 &&
        (!copy.name.empty() || nameFile(folder, copy)) && fd.close() && syncFolder(folder))
        return copy.name;
    const int error = errno;
    if (!copy.name.empty())
        ::unlinkat(folder, copy.name.c_str(), 0);
    errno = error;
    return std::nullopt;
}

// Puts the old bytes back after a failed write in place; true once they are synced.
bool restore(int folder, const std::string& copyName, int fd)
{
    Descriptor copy(::openat(folder, copyName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    off_t size = 0;
    return copy.get() >= 0 && ::lseek(fd, 0, SEEK_SET) == 0 && copyBytes(copy.get(), fd, size) &&
           ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
}

// The way to save a writable file that no new file can stand in for: where the folder
// refuses a new file or the rename, where a new file could not carry the old one's owner,
// group, mode, ACL or attributes, and where the file has further links. It is written where
// it is, so all of them stay. Never with less than it found: the space is reserved first,
// so that a full disk is found before a byte is lost, and where the folder takes a new file
// the old bytes are kept in a synced copy until the new ones are synced.
WriteResult writeInPlace(int folder, const fs::path& target, std::string_view text)
{
    constexpr std::string_view unchanged = "; the earlier file is unchanged";
    // Write-only where the file may not be read; no copy can be made then.
    int opened = ::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    const bool readable = opened >= 0;
    if (!readable && errno == EACCES)
        opened = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    Descriptor fd(opened);
    if (fd.get() < 0)
        return failure(target, "cannot open the file", errno, unchanged);
    off_t size = 0;
    forEachFilePiece(text, [&size](std::string_view piece) {
        size += static_cast<off_t>(piece.size());
        return true;
    });
    if (::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        return failure(target, "writing failed", errno, unchanged);
    const std::optional<std::string> copy =
        readable ? keepCopy(folder, fd.get()) : std::optional(std::string());
    if (!copy)
        return failure(target, "cannot keep a copy of the earlier file", errno, unchanged);

    if (writeFileBytes(fd.get(), text) && ::ftruncate(fd.get(), size) == 0 &&
        ::fsync(fd.get()) == 0) {
        if (!copy->empty())
            ::unlinkat(folder, copy->c_str(), 0);
        return {}; // closing cannot lose what is synced
    }
    const int error = errno;
    if (copy->empty())
        return failure(target, "writing failed", error, "; the earlier file may be damaged");
    if (restore(folder, *copy, fd.get())) {
        ::unlinkat(folder, copy->c_str(), 0);
        return failure(target, "writing failed", error, "; the earlier file was restored");
    }
    const std::string kept = (fs::path(target).replace_filename(*copy)).string();
    return failure(target, "writing failed", error,
                   joined({"; the earlier file was damaged; its old text is kept in ", kept}));
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
    fs::path target = path;
    if (const std::string_view unfollowed = resolveLinks(target); !unfollowed.empty())
        return failure(path, unfollowed);
    const fs::path folder = folderOf(target);

    struct stat existingStat {};
    const bool exists = ::stat(target.c_str(), &existingStat) == 0;
    if (auto refused = refusal(target, exists ? &existingStat : nullptr))
        return *refused;
    const std::string_view earlier = exists ? "; the earlier file is unchanged" : "";

    Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0)
        return failure(target, joined({"cannot open the folder ", folder.string()}), errno,
                       earlier);
    // A rename would leave the file's other names with the old text.
    if (exists && existingStat.st_nlink > 1)
        return writeInPlace(folderFd.get(), target, text);

    // The new text goes into a new file beside the target and replaces it by a rename, so
    // an earlier file is never left half-written. A new file for no earlier one gets the
    // mode the umask or the folder's default ACL gives it.
    NewFile file = createBeside(folderFd.get(), exists ? existingStat.st_mode & 0777 : 0666);
    if (file.fd < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return writeInPlace(folderFd.get(), target, text);
        return failure(target, joined({"cannot create a file in ", folder.string()}), errno,
                       earlier);
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
        return failure(target, why, error, earlier);
    };

    // Asked before the text is written, so that it is written once.
    if (exists && !carryOver(fd.get(), target.c_str(), existingStat)) {
        removeNew();
        return writeInPlace(folderFd.get(), target, text);
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
        return writeInPlace(folderFd.get(), target, text);
    }
    if (!syncFolder(folderFd.get()))
        return failure(target, "writing failed", errno);
    return {};
}

} // namespace rulecraft
