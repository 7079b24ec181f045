// SPDX-License-Identifier: GPL-3.0-or-later
// The second unit of the core that uses POSIX: extended attributes and ACLs are carried
// over with the *xattr calls, which the standard library does not offer.
#include "core/file_attributes.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include <sys/xattr.h>
#include <unistd.h>

namespace rulecraft {

namespace {

// Reads a list or a value of unknown size; read(nullptr, 0) asks the size, which may grow
// before the second call.
template <typename Read> std::optional<std::string> readSized(Read read)
{
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        const ssize_t got = read(bytes.data(), bytes.size());
        if (got >= 0)
            return bytes.substr(0, static_cast<std::size_t>(got));
        if (errno != ERANGE)
            return std::nullopt;
    }
}

// A file system that keeps no extended attributes has none to lose.
template <typename List> std::optional<std::vector<std::string>> attributeNames(List list)
{
    const std::optional<std::string> names = readSized(list);
    if (!names)
        return errno == ENOTSUP || errno == ENOSYS ? std::optional(std::vector<std::string>())
                                                   : std::nullopt;
    std::vector<std::string> split;
    for (std::size_t at = 0; at < names->size();) {
        const std::size_t end = std::min(names->find('\0', at), names->size());
        split.push_back(names->substr(at, end - at));
        at = end + 1;
    }
    return split;
}

// The ACL travels as the attribute system.posix_acl_access, so copying the attributes
// copies it, and sets the mode's group bits to its mask as it should.
bool copyAttributes(const char* old, int fd)
{
    const auto oldNames = attributeNames(
        [old](char* list, std::size_t size) { return ::llistxattr(old, list, size); });
    const auto newNames =
        attributeNames([fd](char* list, std::size_t size) { return ::flistxattr(fd, list, size); });
    if (!oldNames || !newNames)
        return false;
    // A folder's default ACL is inherited by a new file; the old file may not have had one.
    for (const std::string& name : *newNames) {
        if (std::find(oldNames->begin(), oldNames->end(), name) == oldNames->end() &&
            ::fremovexattr(fd, name.c_str()) != 0)
            return false;
    }
    for (const std::string& name : *oldNames) {
        const std::optional<std::string> value = readSized([&](char* bytes, std::size_t size) {
            return ::lgetxattr(old, name.c_str(), bytes, size);
        });
        if (!value || ::fsetxattr(fd, name.c_str(), value->data(), value->size(), 0) != 0)
            return false;
    }
    return true;
}

} // namespace

bool carryOver(int fd, const char* old, const struct stat& was)
{
    // Either call may be refused: only root may give a file away, a user may give it only a
    // group of the user's own, an owner may have no number in this user namespace (EINVAL),
    // and a file system may keep no owners or modes at all (FAT, some FUSE ones: ENOSYS,
    // EPERM), where the new file shows the old ones anyway. What the new file ends up with
    // decides. The owner first, as a change of owner clears the set-id bits.
    const bool owned = ::fchown(fd, was.st_uid, was.st_gid) == 0;
    const bool moded = ::fchmod(fd, was.st_mode & 07777) == 0;
    struct stat now {};
    return copyAttributes(old, fd) &&
           ((owned && moded) ||
            (::fstat(fd, &now) == 0 && now.st_uid == was.st_uid && now.st_gid == was.st_gid &&
             (now.st_mode & 07777) == (was.st_mode & 07777)));
}

} // namespace rulecraft
