// SPDX-License-Identifier: GPL-3.0-or-later
// The core's text rules, one table per rule family, and the file writer's faults.
#include "core/stylesheet.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rulecraft;
namespace fs = std::filesystem;
using Texts = std::pair<std::string, std::string>;

TEST(Rules, tagsDeclarationsAndRouting)
{
    const Texts texts[] = {
        {headingKey(""), "h"},
        {openerFor(" div#top ul "), " div#top ul  { "},
        {editorHeading(""), "Editing Tag for:  Selector"},
        {editorTitle("ahover"), "ahover { PROPERTY : VALUE }"},
        {declarationText(PropertyGroup::Color, "-x", "#FF0000"), "color:#FF0000; "},
        {declarationText(PropertyGroup::Margin, "-top ", " 5"), "margin-top :  5; "},
        {declarationText(PropertyGroup::Border, "", ""), "border: ; "},
        {savedTitle("v1", "06/12/2026"), "Rulecraft v1 :: File saved on 06/12/2026"}};
    for (const auto& [made, expected] : texts)
        EXPECT_EQ(made, expected);
    const std::pair<std::string, Section> routes[] = {
        {"body", Section::Body},  {"a", Section::A},      {"alink", Section::A},
        {"avisited", Section::A}, {"ahover", Section::A}, {"table", Section::Table},
        {"tr", Section::Table},   {"td", Section::Table}, {"hr", Section::HR},
        {"h1", Section::H},       {"h6", Section::H},     {"Body", Section::Blank},
        {"h", Section::Blank},    {"h7", Section::Blank}, {"body ", Section::Blank},
        {"", Section::Blank}};
    for (const auto& [key, section] : routes)
        EXPECT_EQ(sectionForKey(key), section) << '"' << key << '"';
}

TEST(Rules, bodyReplacesOthersAppendAndAssemblyOrderIsFixed)
{
    MemorySectionSet sections;
    sections.replace(Section::A, "typed");
    sections.replace(Section::HR, " ");
    for (const char* key : {"h1", "body", "ahover", "p", "body", "a"})
        fileRule(sections, key, ruleText(openerFor(key), "x; ", tagCloser));
    std::string stylesheet = "left from before";
    assembleStylesheet(sections, stylesheet);
    EXPECT_EQ(stylesheet, "body { x;  }\r\n\r\ntypedahover { x;  }\r\na { x;  }\r\n\r\n \r\n"
                          "h1 { x;  }\r\n\r\np { x;  }\r\n\r\n");
}

TEST(Rules, windows1252AndColourNotation)
{
    const Texts bytes[] = {{"a {  }\r\n\t~", "a {  }\r\n\t~"},
                           {"\xC3\xA9\xC3\xBF\xC2\xA0\xE2\x82\xAC\xC5\xB8", "\xE9\xFF\xA0\x80\x9F"},
                           {"\xE6\xBC\xA2|\xF0\x9F\x98\x80", "?|?"}, // not in the code page
                           {"\xC2\x81", "?"},                        // a byte it leaves undefined
                           {"\x80|x\xE2\x82", "?|x??"},              // stray and cut short
                           {"\xC0\xAF|\xED\xA0\x80", "??|???"},      // overlong, a surrogate
                           {std::string("a\0b", 3), std::string("a\0b", 3)}};
    for (const auto& [utf8, expected] : bytes)
        EXPECT_EQ(toWindows1252(utf8), expected) << utf8;
    const std::pair<std::uint32_t, std::string> colours[] = {{255, "#FF0000"},
                                                             {0xFF00, "#00FF00"},
                                                             {0x0A0B0C, "#0C0B0A"},
                                                             {0xEFCDAB, "#ABCDEF"},
                                                             {0xFF0000FF, "#FF0000"}};
    for (const auto& [value, hex] : colours)
        EXPECT_EQ(colourToHex(value), hex) << value;
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

// Folders synced, the error a folder sync fails with (0: none), and whether a file's sync
// is a power cut: the writer's fsync goes through the C library, which this definition
// stands in for in the test program.
std::vector<std::string> syncedFolders;
int folderSyncError = 0;
bool cutAtFileSync = false;

class WriteFile : public testing::Test {
protected:
    void SetUp() override
    {
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
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    // The old file is intact and nothing was left beside it.
    void expectOldUntouched()
    {
        EXPECT_EQ(readBytes(old), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
    }
    fs::path dir, old;
};

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

TEST_F(WriteFile, replacesWholeThroughLinksKeepingModeAndSyncsFolder)
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

    const mode_t mask = umask(022);
    const fs::path longest = dir / (std::string(NAME_MAX - 4, 'n') + ".css");
    const bool ok = writeStylesheet(longest.string(), "").ok;
    umask(mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(readBytes(longest), "\r\n");
    EXPECT_EQ(fs::status(longest).permissions(), static_cast<fs::perms>(0644));

    // The longest path there can be, a short name in a deep folder, whatever the new file's
    // name adds to it.
    std::string deep = dir.string();
    const std::size_t deepSize = PATH_MAX - 1 - std::string("/style.css").size();
    while (deepSize - deep.size() > 201)
        fs::create_directory(deep += "/" + std::string(100, 'd'));
    fs::create_directory(deep += "/" + std::string(deepSize - deep.size() - 1, 'd'));
    const std::string deepest = deep + "/style.css";
    ASSERT_EQ(deepest.size(), PATH_MAX - 1);
    const WriteResult saved = writeStylesheet(deepest, "x");
    EXPECT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(readBytes(deepest), "x\r\n");
}

TEST_F(WriteFile, refusesWhatCannotBeWrittenAndSaysWhy)
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

TEST_F(WriteFile, failuresLeaveOldFileAndNoTemporary)
{
    // The file size limit makes write() fail part-way once the file was created; an
    // unprivileged user may not write in a locked folder (root may write anywhere).
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    fs::permissions(dir, static_cast<fs::perms>(0755));
    fs::permissions(locked, static_cast<fs::perms>(0555));
    const int status = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool partWay = writeStylesheet(old.string(), std::string(100000, 'x')).ok;
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 3;
        return partWay || writeStylesheet((locked / "style.css").string(), "x").ok ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty(locked));
    fs::remove(locked);
    expectOldUntouched();

    // A folder that cannot be synced at all still has the file; one whose sync fails has not.
    for (const int error : {EINVAL, ENOTSUP, EIO}) {
        folderSyncError = error;
        const WriteResult synced = writeStylesheet(old.string(), "new");
        EXPECT_EQ(synced.ok, error != EIO) << error << synced.reason;
        EXPECT_EQ(synced.ok ? "" : synced.reason.substr(synced.reason.find(": ")),
                  synced.ok ? "" : ": writing failed (Input/output error)");
    }
}

TEST_F(WriteFile, cutShortLeavesNothingAndLockedFolderKeepsWritableFile)
{
    // Killed as by a power cut, once the new text is written: nothing is left beside it.
    EXPECT_EQ(inChild([&] {
                  cutAtFileSync = true;
                  return writeStylesheet(old.string(), "new").ok ? 1 : 2;
              }),
              128 + SIGKILL);
    expectOldUntouched();

    // A file the user may write, in a folder where the user may not create one, is written
    // where it is.
    const fs::path locked = dir / "locked", shared = locked / "shared.css";
    fs::create_directory(locked);
    std::ofstream(shared) << "a longer old text";
    fs::permissions(shared, static_cast<fs::perms>(0666));
    fs::permissions(dir, static_cast<fs::perms>(0755));
    fs::permissions(locked, static_cast<fs::perms>(0555));
    const auto links = [&] { return fs::hard_link_count(shared); };
    fs::create_hard_link(shared, dir / "second-name.css");
    EXPECT_EQ(inChild([&] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                      return 3;
                  const WriteResult result = writeStylesheet(shared.string(), "new");
                  return result.ok ? 0 : 1;
              }),
              0);
    EXPECT_EQ(readBytes(shared), "new\r\n");
    EXPECT_EQ(links(), 2u); // the same file, under both its names
    EXPECT_EQ(fs::status(shared).permissions(), static_cast<fs::perms>(0666));
    fs::permissions(locked, fs::perms::owner_all);
}
