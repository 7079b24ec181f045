// SPDX-License-Identifier: GPL-3.0-or-later
// The core's text rules where the walk of the windows does not reach them, and the file
// writer's faults.
#include "core/stylesheet.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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
// power cut, the error a rename fails with (0: none), and whether the file system refuses
// unnamed files as FAT, NFS, SMB and some FUSE ones do: the writer's fsync, renameat and
// openat go through the C library, which the definitions below stand in for.
std::vector<std::string> syncedFolders;
int folderSyncError = 0;
bool cutAtFileSync = false;
int renameError = 0;
bool refuseUnnamed = false;

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
    if (renameError)
        return errno = renameError, -1;
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
    return static_cast<int>(syscall(SYS_openat, folder, path, flags, mode));
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
    // name adds to them; a new file gets the user's default mode.
    const std::string name = "/" + std::string(NAME_MAX - 4, 'n') + ".css";
    std::string deep = dir.string();
    while (deep.size() + 102 + name.size() < PATH_MAX - 1)
        fs::create_directory(deep += "/" + std::string(100, 'd'));
    fs::create_directory(deep += "/" + std::string(PATH_MAX - 2 - deep.size() - name.size(), 'd'));
    const std::string deepest = deep + name;
    ASSERT_EQ(deepest.size(), PATH_MAX - 1);
    const mode_t mask = umask(022);
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
                  return writeStylesheet(old.string(), std::string(100000, 'x')).ok ? 1 : 0;
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

// Who saves over whose file, in a folder of the file's owner and group, as a child process.
struct OtherSaver {
    const char* what;
    mode_t folderMode, fileMode;
    uid_t owner, group, saver, saverGroup; // the saver's own group has the saver's number
    int renameError;
    bool inPlace;
};

TEST_P(WriteFile, savesOverOthersFilesKeepOwnerGroupAndModeWritingInPlaceWhereNeeded)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "saving as other users needs root";
    const OtherSaver savers[] = {
        {"a folder that refuses new files", 0555, 0666, 0, 0, 65534, 65534, 0, true},
        {"a group-shared file of another member", 0775, 0664, 1000, 1000, 1001, 1000, 0, true},
        {"another user's file in a sticky folder", 01777, 0666, 1000, 1000, 1001, 1001, 0, true},
        {"a folder that refuses the rename", 0755, 0644, 0, 0, 0, 0, EPERM, true},
        {"a rename refused as no access", 0755, 0644, 0, 0, 0, 0, EACCES, true},
        {"one's own file, in a further group", 0755, 0664, 1000, 1001, 1000, 1001, 0, false},
        {"root, over another user's file", 0755, 0664, 1000, 1000, 0, 0, 0, false}};
    fs::permissions(dir, static_cast<fs::perms>(0755));
    for (const OtherSaver& s : savers) {
        const fs::path folder = dir / s.what, file = folder / "style.css";
        fs::create_directory(folder);
        std::ofstream(file) << "a longer old text";
        fs::create_hard_link(file, folder.string() + " link");
        ASSERT_FALSE(chown(file.c_str(), s.owner, s.group) || chmod(file.c_str(), s.fileMode) ||
                     chown(folder.c_str(), s.owner, s.group) ||
                     chmod(folder.c_str(), s.folderMode));
        struct stat before = {}, after = {};
        stat(file.c_str(), &before);
        const int saved = inChild([&] {
            renameError = s.renameError;
            umask(077);
            if (setgroups(1, &s.saverGroup) || setresgid(s.saver, s.saver, s.saver) ||
                setresuid(s.saver, s.saver, s.saver))
                return 3;
            return writeStylesheet(file.string(), "new").ok ? 0 : 1;
        });
        stat(file.c_str(), &after);
        EXPECT_EQ(std::tuple(saved, readBytes(file), after.st_uid, after.st_gid,
                             after.st_mode & 07777, after.st_ino == before.st_ino, after.st_nlink,
                             std::distance(fs::directory_iterator(folder), {})),
                  std::tuple(0, "new\r\n", s.owner, s.group, s.fileMode, s.inPlace,
                             nlink_t(s.inPlace ? 2 : 1), std::ptrdiff_t(1)))
            << s.what;
    }
}
