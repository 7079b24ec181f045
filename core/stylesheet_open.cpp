// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a stylesheet file. POSIX, because a FIFO or a device must be refused before a read
// could block on it, and a file that changes while it is read must be noticed.
#include "core/opening.h"
#include "core/descriptor.h"
#include "core/text.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rulecraft {

namespace {

OpenResult refused(const std::string& path, std::string_view why, int error = 0)
{
    OpenResult result;
    result.ok = false;
    result.reason = error == 0 ? joined({path, ": ", why})
                               : joined({path, ": ", why, " (", std::strerror(error), ")"});
    return result;
}

std::string_view notRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return "is a folder, not a file";
    if (S_ISFIFO(mode))
        return "is a pipe (FIFO), not a file";
    if (S_ISSOCK(mode))
        return "is a socket, not a file";
    return "is a device, not a file";
}

bool sameFile(const struct stat& before, const struct stat& after)
{
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && after.st_nlink > 0;
}

// Reads until the end of the file; fails on an error.
bool readAll(int fd, std::string& bytes, std::size_t expected)
{
    std::size_t got = 0;
    while (got < expected) {
        const ssize_t n = ::read(fd, bytes.data() + got, expected - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    char more = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, &more, 1)) < 0 && errno == EINTR) {
    }
    if (n > 0)
        bytes += more; // grown since fstat; the second fstat says so
    return n >= 0;
}

} // namespace

OpenResult openStylesheet(const std::string& path)
{
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0)
        return refused(path, "cannot be opened", errno);
    if (!S_ISREG(before.st_mode))
        return refused(path, notRegular(before.st_mode));
    // No blocking open even if a FIFO took the file's place since the stat.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return refused(path, "cannot be opened", errno);
    if (::fstat(file.get(), &before) != 0)
        return refused(path, "cannot be read", errno);
    if (!S_ISREG(before.st_mode))
        return refused(path, notRegular(before.st_mode));

    std::string bytes;
    try {
        const auto size = static_cast<std::size_t>(before.st_size);
        if (size > bytes.max_size())
            throw std::bad_alloc();
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return refused(path, "is too large to open in the memory there is");
    }
    if (!readAll(file.get(), bytes, bytes.size()))
        return refused(path, "cannot be read", errno);
    struct stat after {};
    if (::fstat(file.get(), &after) != 0 || !sameFile(before, after) ||
        bytes.size() != static_cast<std::size_t>(before.st_size))
        return refused(path, "changed or was removed while it was read; nothing was opened");

    try {
        DecodedText decoded = decodeStylesheet(std::move(bytes));
        if (!decoded.ok)
            return refused(path, decoded.reason);
        std::string().swap(bytes); // where decoding copied them
        OpenResult result;
        result.sections = splitIntoSections(decoded.text);
        result.undefinedBytes = decoded.undefinedBytes;
        return result;
    } catch (const std::bad_alloc&) {
        return refused(path, "is too large to open in the memory there is");
    }
}

} // namespace rulecraft
