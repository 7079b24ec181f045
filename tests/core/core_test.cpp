// SPDX-License-Identifier: GPL-3.0-or-later
// The core's text rules where the walk of the windows does not reach them, and the file
// writer's faults.
#include "core/stylesheet.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace rulecraft;
namespace fs = std::filesystem;
using Texts = std::pair<std::string, std::string>;

// Both ways between key and selector, and keys no button or list makes.
TEST(Rules, routingAndSelectors)
{
    struct Tag {
        std::string key, selector;
        Section section;
    };
    // clang-format off
    const Tag tags[] = {{"ahover", "a:hover", Section::A}, {"avisited", "a:visited", Section::A},
        {"td", "td", Section::Table}, {"h6", "h6", Section::H}, {"p.note", "p.note", Section::Blank},
        {"Body", "Body", Section::Blank}, {"h", "h", Section::Blank}, {"h7", "h7", Section::Blank},
        {"h0", "h0", Section::Blank}, {"body ", "body ", Section::Blank}, {"", "", Section::Blank}};
    // clang-format on
    for (const auto& [key, selector, section] : tags) {
        EXPECT_EQ(sectionForKey(key), section) << '"' << key << '"';
        EXPECT_EQ(selectorOf(key), selector);
        EXPECT_EQ(tagForSelector(selector), key);
    }
}

// Malformed UTF-8; well-formed characters are the fuzzer's, against glibc's own converter.
TEST(Rules, codePageOfMalformedText)
{
    const Texts bytes[] = {{"\x80|x\xE2\x82", "?|x??"},         // stray and cut short
                           {"\xC0\xAF|\xED\xA0\x80", "??|???"}, // overlong, a surrogate
                           {std::string("a\0b", 3), std::string("a\0b", 3)}};
    for (const auto& [utf8, expected] : bytes)
        EXPECT_EQ(toWindows1252(utf8), expected) << utf8;
}

namespace {

std::string readBytes(const fs::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Runs body in a child process and gives its exit status, so that a test can change its
// user or its limits without touching the test runner.
int inChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Folders synced, the error a folder sync fails with (0: none), whether a file's sync is a
// power cut, whether the file system refuses unnamed files as FAT, NFS, SMB and some FUSE
// ones do, and the errors further calls answer (0: none): the writer's calls go through the
// C library, which the definitions below stand in for.
std::vector<std::string> syncedFolders;
int folderSyncError = 0;
bool cutAtFileSync = false;
bool refuseUnnamed = false;
constexpr int killed = -1; // a write error that kills the writer instead
struct Faults {
    int create = 0, rename = 0, fchmod = 0, fchown = 0, setAttribute = 0, reserve = 0;
    int writeError = 0, failWrite = 0, failWrites = 1; // which writes fail, counted from 1
};
Faults faults;
int writes = 0;

// Every test of the writer runs twice: with unnamed new files and with named ones.
class WriteFile : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        refuseUnnamed = GetParam();
        std::string pattern = (fs::temp_directory_path() / "rulecraft-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        old = dir / "old.css";
        std::ofstream(old) << "old";
        syncedFolders.clear();
    }
    void TearDown() override
    {
        folderSyncError = 0;
        faults = {};
        fs::remove_all(dir);
    }
    // The old file is intact and nothing but the given number of files was left beside it.
    void expectOldUntouched(int leftBeside = 0)
    {
        EXPECT_EQ(readBytes(old), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1 + leftBeside);
    }
    fs::path dir, old;
};
INSTANTIATE_TEST_SUITE_P(, WriteFile, testing::Bool(),
                         [](const auto& info) { return info.param ? "named" : "unnamed"; });

} // namespace

extern "C" int fsync(int fd)
{
    struct stat about {};
    if (fstat(fd, &about) == 0 && S_ISDIR(about.st_mode)) {
        syncedFolders.push_back(fs::read_symlink("/proc/self/fd/" + std::to_string(fd)));
        if (folderSyncError) {
            errno = folderSyncError;
            return -1;
        }
    } else if (cutAtFileSync) {
        raise(SIGKILL);
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    if (faults.rename)
        return errno = faults.rename, -1;
    return static_cast<int>(syscall(SYS_renameat2, fromFolder, from, toFolder, to, 0));
}

extern "C" int openat(int folder, const char* path, int flags, ...)
{
    std::va_list rest;
    va_start(rest, flags);
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = (flags & O_CREAT) || unnamed ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    if (unnamed && refuseUnnamed)
        return errno = EOPNOTSUPP, -1;
    if ((unnamed || (flags & O_CREAT)) && faults.create)
        return errno = faults.create, -1;
    return static_cast<int>(syscall(SYS_openat, folder, path, flags, mode));
}

extern "C" ssize_t write(int fd, const void* bytes, size_t size)
{
    if (faults.failWrite && ++writes >= faults.failWrite &&
        writes < faults.failWrite + faults.failWrites) {
        if (faults.writeError == killed)
            raise(SIGKILL);
        return errno = faults.writeError, -1;
    }
    return syscall(SYS_write, fd, bytes, size);
}

extern "C" int fallocate(int fd, int mode, off_t offset, off_t size)
{
    return faults.reserve ? (errno = faults.reserve, -1)
                          : static_cast<int>(syscall(SYS_fallocate, fd, mode, offset, size));
}

extern "C" int fchmod(int fd, mode_t mode)
{
    return faults.fchmod ? (errno = faults.fchmod, -1)
                         : static_cast<int>(syscall(SYS_fchmod, fd, mode));
}

extern "C" int fchown(int fd, uid_t owner, gid_t group)
{
    return faults.fchown ? (errno = faults.fchown, -1)
                         : static_cast<int>(syscall(SYS_fchown, fd, owner, group));
}

extern "C" int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    return faults.setAttribute
               ? (errno = faults.setAttribute, -1)
               : static_cast<int>(syscall(SYS_fsetxattr, fd, name, value, size, flags));
}

TEST_P(WriteFile, replacesWholeThroughLinksKeepingModeAndSyncsFolder)
{
    fs::permissions(old, static_cast<fs::perms>(0640));
    fs::create_symlink("old.css", dir / "link.css");
    // Characters of one to four bytes, so that some straddle every piece written.
    std::string text, expected;
    while (text.size() < 300 * 1024) {
        text += "a\xC3\xA9\xE2\x82\xAC\xE6\xBC\xA2\xF0\x9F\x98\x80";
        expected += "a\xE9\x80??";
    }
    ASSERT_TRUE(writeStylesheet((dir / "link.css").string(), text).ok);
    EXPECT_EQ(readBytes(old), expected + "\r\n");
    EXPECT_TRUE(fs::is_symlink(dir / "link.css"));
    EXPECT_EQ(fs::status(old).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(syncedFolders, std::vector<std::string>{dir.string()});

    // The longest path there can be, ending in the longest name, whatever the new file's
    // name adds to them; a new file gets the user's default mode, also where the file system
    // refuses to set modes and owners, as FAT does.
    const std::string name = "/" + std::string(NAME_MAX - 4, 'n') + ".css";
    std::string deep = dir.string();
    while (deep.size() + 102 + name.size() < PATH_MAX - 1)
        fs::create_directory(deep += "/" + std::string(100, 'd'));
    fs::create_directory(deep += "/" + std::string(PATH_MAX - 2 - deep.size() - name.size(), 'd'));
    const std::string deepest = deep + name;
    ASSERT_EQ(deepest.size(), PATH_MAX - 1);
    const mode_t mask = umask(022);
    faults = {.fchmod = ENOSYS, .fchown = ENOSYS};
    const WriteResult saved = writeStylesheet(deepest, "x");
    umask(mask);
    EXPECT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(readBytes(deepest), "x\r\n");
    EXPECT_EQ(fs::status(deepest).permissions(), static_cast<fs::perms>(0644));
}

TEST_P(WriteFile, refusesWhatCannotBeWrittenAndSaysWhy)
{
    std::string longPath = dir.string();
    while (longPath.size() < PATH_MAX + 100)
        longPath += "/.";
    fs::permissions(old, static_cast<fs::perms>(0444));
    const Texts refused[] = {
        {"", "no file name"},
        {(dir / "missing/style.css").string(), "does not exist"},
        {dir.string(), "is a folder"},
        {(old / "below-a-file.css").string(), "not a folder"},
        {longPath + "/style.css", "The path is too long"},
        {(dir / std::string(NAME_MAX + 1, 'n')).string(), "The path is too long"},
        {(dir / std::string(NAME_MAX + 1, 'n') / "a.css").string(), "The path is too long"},
        {old.string(), "old.css: the file is read-only"}};
    for (const auto& [path, reason] : refused) {
        const WriteResult result = writeStylesheet(path, "new");
        EXPECT_NE(result.reason.find(reason), std::string::npos) << result.reason;
        EXPECT_FALSE(result.ok);
        expectOldUntouched();
    }
}

TEST_P(WriteFile, failuresLeaveOldFileAndNoTemporary)
{
    // The file size limit makes write() fail part-way once the file was created; killed as
    // by a power cut once the new text is written, it leaves nothing beside the file either.
    EXPECT_EQ(inChild([&] {
                  signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{4096, 4096};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  return writeStylesheet(old.string(), std::string(100000, 'x'))
                                 .reason.ends_with("the earlier file is unchanged")
                             ? 0
                             : 1;
              }),
              0);
    expectOldUntouched();
    EXPECT_EQ(inChild([&] {
                  cutAtFileSync = true;
                  return writeStylesheet(old.string(), "new").ok ? 1 : 2;
              }),
              128 + SIGKILL);
    expectOldUntouched(GetParam() ? 1 : 0); // a kill leaves a named new file behind

    // A folder that cannot be synced at all still has the file; one whose sync fails has not.
    for (const int error : {EINVAL, ENOTSUP, EIO}) {
        folderSyncError = error;
        const WriteResult synced = writeStylesheet(old.string(), "new");
        EXPECT_EQ(synced.ok, error != EIO) << error << synced.reason;
        EXPECT_EQ(synced.ok ? "" : synced.reason.substr(synced.reason.find(": ")),
                  synced.ok ? "" : ": writing failed (Input/output error)");
    }
}

// Who saves over whose file, in a folder of the file's owner and group, as a child process;
// what the saver's calls answer, the file's text afterwards and the end of the warning (none:
// saved); an attribute the file carries, its links, and a link of this owner it is saved
// through.
struct Who {
    mode_t folderMode, fileMode;
    uid_t owner, group, saver, saverGroup; // the saver's own group has the saver's number
};
struct OtherSaver {
    const char* what;
    Who who;
    bool inPlace;
    Faults faults = {};
    const char* text = "new\r\n";
    const char* warning = nullptr;
    const char* attribute = nullptr;
    nlink_t links = 1;
    int linkOwner = -1;
};

std::map<std::string, std::string> attributes(const fs::path& file)
{
    std::map<std::string, std::string> found;
    std::string names(65536, '\0'), value(65536, '\0');
    names.resize(std::max<ssize_t>(0, llistxattr(file.c_str(), names.data(), names.size())));
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const char* name = names.c_str() + at;
        found[name] = value.substr(0, lgetxattr(file.c_str(), name, value.data(), value.size()));
    }
    return found;
}

TEST_P(WriteFile, savesOverOthersFilesKeepOwnerGroupAndModeWritingInPlaceWhereNeeded)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "saving as other users needs root";
    const char *const old = "a longer old text", *const cut = "newonger old text",
                      *const acl = "system.posix_acl_access", *const fresh = "new\r\n";
    constexpr Who refusing{0555, 0666, 0, 0, 65534, 65534},
        shared{0775, 0664, 1000, 1000, 1001, 1000}, own{0755, 0644, 1000, 1000, 1000, 1000},
        root{0755, 0644, 0, 0, 0, 0};
    // clang-format off
    const OtherSaver savers[] = {
        {"a folder that refuses new files", refusing, true},
        {"a group-shared file of another member", shared, true},
        {"another user's file in a sticky folder, through the folder owner's link",
         {01777, 0666, 1000, 1000, 1001, 1001}, true, {}, fresh, nullptr, nullptr, 1, 1000},
        {"a folder that refuses the rename", root, true, {.rename = EPERM}},
        {"a rename refused as no access", root, true, {.rename = EACCES}},
        {"one's own file, in a further group", {0755, 0664, 1000, 1001, 1000, 1001}, false},
        {"root, over another user's file", {0755, 0664, 1000, 1000, 0, 0}, false},
        {"an owner with no number here", {0755, 0664, 1000, 1000, 0, 0}, true, {.fchown = EINVAL}},
        {"an immutable folder", root, true, {.create = EPERM}},
        {"no modes on the file system", root, true, {.fchmod = ENOSYS}},
        {"no modes nor owners, none needed", {0755, 0600, 1000, 1000, 1000, 1000}, false,
         {.fchmod = ENOSYS, .fchown = ENOSYS}},
        {"one's own file with an ACL", {0755, 0664, 1000, 1000, 1000, 1000}, false, {}, fresh,
         nullptr, acl},
        {"one's own file with an attribute", own, false, {}, fresh, nullptr, "user.note"},
        {"an attribute a new file cannot take", own, true, {.setAttribute = EPERM}, fresh, nullptr,
         "user.note"},
        {"one's own file with two links", own, true, {}, fresh, nullptr, nullptr, 2},
        {"a link planted in a sticky folder", {01777, 0644, 1001, 1001, 1001, 1001}, true, {}, old,
         "link belongs to another user of a shared folder", nullptr, 1, 1000},
        {"a full disk, found by the reservation", shared, true, {.reserve = ENOSPC}, old,
         "(No space left on device); the earlier file is unchanged"},
        {"a full disk mid-way, not reserved", shared, true,
         {.reserve = EOPNOTSUPP, .writeError = ENOSPC, .failWrite = 3, .failWrites = 9}, cut,
         "(No space left on device); the earlier file was damaged; its old text is kept in "},
        {"a failed write, put right", shared, true, {.writeError = EIO, .failWrite = 3}, old,
         "(Input/output error); the earlier file was restored"},
        {"a full disk where no copy can be made", refusing, true,
         {.reserve = EOPNOTSUPP, .writeError = ENOSPC, .failWrite = 2, .failWrites = 9}, cut,
         "(No space left on device); the earlier file may be damaged"},
        {"a save killed mid-way", shared, true, {.writeError = killed, .failWrite = 3}, cut}};
    // clang-format on
    static char* const reason = static_cast<char*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    // user::rw- user:1001:rw- group::r-- mask::rw- other::r--, as the kernel keeps an ACL
    std::string aclBytes("\2\0\0\0", 4);
    for (const auto& [tag, rights, id] :
         {std::tuple(1, 6, -1), {2, 6, 1001}, {4, 4, -1}, {16, 6, -1}, {32, 4, -1}})
        aclBytes += std::string{char(tag), 0, char(rights), 0} + std::string((char*)&id, 4);
    fs::permissions(dir, static_cast<fs::perms>(0755));
    for (const OtherSaver& s : savers) {
        const fs::path folder = dir / s.what, file = folder / "style.css",
                       link = folder.string() + " link", savedAs = folder / "link.css";
        fs::create_directory(folder);
        std::ofstream(file) << old;
        if (s.links > 1)
            fs::create_hard_link(file, link);
        const std::string value = s.attribute == acl ? aclBytes : "kept";
        ASSERT_FALSE(
            chown(file.c_str(), s.who.owner, s.who.group) || chmod(file.c_str(), s.who.fileMode) ||
            chown(folder.c_str(), s.who.owner, s.who.group) ||
            chmod(folder.c_str(), s.who.folderMode) ||
            (s.attribute && setxattr(file.c_str(), s.attribute, value.data(), value.size(), 0)) ||
            (s.linkOwner >= 0 && (symlink("style.css", savedAs.c_str()) ||
                                  lchown(savedAs.c_str(), s.linkOwner, s.linkOwner))));
        const auto attributesBefore = attributes(file);
        struct stat before = {}, after = {};
        stat(file.c_str(), &before);
        reason[0] = '\0';
        const int saved = inChild([&] {
            umask(077);
            if (setgroups(1, &s.who.saverGroup) ||
                setresgid(s.who.saver, s.who.saver, s.who.saver) ||
                setresuid(s.who.saver, s.who.saver, s.who.saver))
                return 3;
            faults = s.faults;
            const WriteResult result = writeStylesheet((s.linkOwner < 0 ? file : savedAs), "new");
            faults = {};
            std::snprintf(reason, 4096, "%s", result.reason.c_str());
            return result.ok ? 0 : 1;
        });
        stat(file.c_str(), &after);
        // Anything left beside the file holds the old text, and a warning names it.
        std::vector<std::string> kept;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path() != file && entry.path() != savedAs) {
                kept.push_back(entry.path());
                EXPECT_EQ(readBytes(entry.path()), old) << s.what;
            }
        }
        const std::string warning = reason;
        const bool copyKept =
            s.faults.writeError == killed || (s.warning && std::strstr(s.warning, "kept in"));
        EXPECT_EQ(std::tuple(saved, readBytes(file), after.st_uid, after.st_gid,
                             after.st_mode & 07777, after.st_ino == before.st_ino, after.st_nlink,
                             attributes(file), kept.size(), readBytes(s.links > 1 ? link : file)),
                  std::tuple(s.faults.writeError == killed ? 128 + SIGKILL
                             : s.warning                   ? 1
                                                           : 0,
                             s.text, s.who.owner, s.who.group, s.who.fileMode, s.inPlace, s.links,
                             attributesBefore, std::size_t(copyKept), s.text))
            << s.what;
        EXPECT_TRUE(s.warning ? warning.find(s.warning) != std::string::npos &&
                                    (!copyKept ||
                                     (kept.size() == 1 && warning.ends_with("kept in " + kept[0])))
                              : warning.empty())
            << s.what << ": " << warning;
    }
}
