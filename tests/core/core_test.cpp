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

namespace {

using TextCase = std::pair<std::string, std::string>;

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(Tags, keysAndOpeners)
{
    EXPECT_EQ(headingKey("3"), "h3");
    EXPECT_EQ(headingKey(""), "h");
    EXPECT_EQ(openerFor("h7"), "h7 { ");
    EXPECT_EQ(openerFor(" div#top ul "), " div#top ul  { ");
    EXPECT_EQ(openerFor(""), " { ");
    EXPECT_EQ(editorHeading(""), "Editing Tag for:  Selector");
    EXPECT_EQ(editorTitle("ahover"), "ahover { PROPERTY : VALUE }");
    const std::pair<std::string_view, std::string_view> catalogue[] = {
        {"body", "body { "},      {"a", "a { "},
        {"alink", "a:link { "},   {"avisited", "a:visited { "},
        {"ahover", "a:hover { "}, {"table", "table { "},
        {"tr", "tr { "},          {"td", "td { "},
        {"hr", "hr { "}};
    ASSERT_EQ(std::size(catalogue), tagCatalogue.size());
    for (std::size_t i = 0; i < tagCatalogue.size(); ++i) {
        EXPECT_EQ(tagCatalogue[i].key, catalogue[i].first);
        EXPECT_EQ(tagCatalogue[i].opener, catalogue[i].second);
    }
}

TEST(Declarations, textPerGroup)
{
    EXPECT_EQ(declarationText(PropertyGroup::Color, "ignored", "#FF0000"), "color:#FF0000; ");
    EXPECT_EQ(declarationText(PropertyGroup::Color, "", ""), "color:; ");
    EXPECT_EQ(declarationText(PropertyGroup::Border, "", "1px solid"), "border: 1px solid; ");
    EXPECT_EQ(declarationText(PropertyGroup::Margin, "-top ", " 5px"), "margin-top :  5px; ");
    EXPECT_EQ(declarationText(PropertyGroup::Font, "-family", "\"Café\""),
              "font-family: \"Café\"; ");
    const std::pair<PropertyGroup, std::string_view> stems[] = {
        {PropertyGroup::Text, "text"},
        {PropertyGroup::Padding, "padding"},
        {PropertyGroup::Background, "background"}};
    for (const auto& [group, stem] : stems)
        EXPECT_EQ(declarationText(group, "-x", "y"), std::string(stem) + "-x: y; ");
}

TEST(Routing, keyLandsInItsSection)
{
    const std::pair<std::string, Section> routes[] = {
        {"body", Section::Body},  {"a", Section::A},         {"alink", Section::A},
        {"avisited", Section::A}, {"ahover", Section::A},    {"table", Section::Table},
        {"tr", Section::Table},   {"td", Section::Table},    {"hr", Section::HR},
        {"h1", Section::H},       {"h2", Section::H},        {"h3", Section::H},
        {"h4", Section::H},       {"h5", Section::H},        {"h6", Section::H},
        {"Body", Section::Blank}, {"TD", Section::Blank},    {"h", Section::Blank},
        {"h7", Section::Blank},   {"body ", Section::Blank}, {"a:hover", Section::Blank},
        {"", Section::Blank},     {"p.note", Section::Blank}};
    for (const auto& [key, section] : routes)
        EXPECT_EQ(sectionForKey(key), section) << '"' << key << '"';
}

TEST(Assembly, bodyReplacesOthersAppendAndOrderIsFixed)
{
    MemorySectionSet sections;
    sections.replace(Section::Body, "typed\r\n");
    sections.replace(Section::A, "typed");
    for (const char* key : {"h1", "td", "body", "ahover", "p", "body", "hr", "a"})
        fileRule(sections, key, ruleText(openerFor(key), "color:red; ", tagCloser));
    std::string stylesheet = "left from before";
    assembleStylesheet(sections, stylesheet);
    EXPECT_EQ(stylesheet, "body { color:red;  }\r\n\r\n"
                          "typedahover { color:red;  }\r\na { color:red;  }\r\n\r\n"
                          "td { color:red;  }\r\n\r\nhr { color:red;  }\r\n\r\n"
                          "h1 { color:red;  }\r\n\r\np { color:red;  }\r\n\r\n");

    MemorySectionSet blankOnly;
    blankOnly.replace(Section::HR, " ");
    assembleStylesheet(blankOnly, stylesheet);
    EXPECT_EQ(stylesheet, " \r\n");
    assembleStylesheet(MemorySectionSet(), stylesheet);
    EXPECT_EQ(stylesheet, "");
    EXPECT_EQ(savedTitle("v1", "06/12/2026"), "Rulecraft v1 :: File saved on 06/12/2026");
}

TEST(Encoding, onePerCharacter)
{
    const TextCase cases[] = {{"body { color:#000;  }\r\n\t~", "body { color:#000;  }\r\n\t~"},
                              {"\xC3\xA9\xC3\xBF\xC2\xA0", "\xE9\xFF\xA0"},
                              {"\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D\xC5\xB8", "\x80\x93\x94\x9F"},
                              {"\xE6\xBC\xA2", "?"},
                              {"a\xF0\x9F\x98\x80z", "a?z"},
                              {"\xC2\x81", "?"},    // a C1 control the code page leaves undefined
                              {"\x80x", "?x"},      // a stray continuation byte
                              {"x\xE2\x82", "x??"}, // a sequence cut short
                              {"\xC0\xAF", "??"},   // an overlong form
                              {"\xED\xA0\x80", "???"}, // a surrogate
                              {std::string("a\0b", 3), std::string("a\0b", 3)}};
    for (const auto& [utf8, bytes] : cases)
        EXPECT_EQ(toWindows1252(utf8), bytes) << utf8;
}

TEST(Colour, hashThenRedGreenBlue)
{
    const std::pair<std::uint32_t, std::string> cases[] = {
        {0, "#000000"},        {255, "#FF0000"},      {0xFF00, "#00FF00"},
        {0xFF0000, "#0000FF"}, {0xFFFFFF, "#FFFFFF"}, {0x0A0B0C, "#0C0B0A"},
        {0x100909, "#090910"}, {0xEFCDAB, "#ABCDEF"}, {0xFF0000FF, "#FF0000"}};
    for (const auto& [value, hex] : cases)
        EXPECT_EQ(colourToHex(value), hex) << value;
}

namespace {

// Runs body in a child process and returns its exit status, so that a test can change
// its user or its limits without touching the test runner.
int inChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Folders that were synced, and whether the next folder sync fails. The writer calls
// fsync through the C library, which this definition stands in for in the test program.
std::vector<std::string> syncedFolders;
bool failFolderSync = false;

class WriteFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "rulecraft-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        syncedFolders.clear();
    }
    void TearDown() override
    {
        failFolderSync = false;
        fs::permissions(dir, fs::perms::owner_all);
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_all);
        }
        fs::remove_all(dir);
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The old file is intact and nothing else was left beside it.
    void expectUntouched(const fs::path& file, const std::string& bytes)
    {
        EXPECT_EQ(readBytes(file), bytes);
        EXPECT_EQ(entries(), std::vector<std::string>{file.filename().string()});
    }

    fs::path dir;
};

} // namespace

extern "C" int fsync(int fd)
{
    struct stat about {};
    if (fstat(fd, &about) == 0 && S_ISDIR(about.st_mode)) {
        char path[PATH_MAX] = {};
        if (readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1) > 0)
            syncedFolders.emplace_back(path);
        if (failFolderSync) {
            errno = EIO;
            return -1;
        }
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

TEST_F(WriteFile, replacesWholeKeepsModeAndSyncsFolder)
{
    const fs::path file = dir / "style.css";
    writeBytes(file, std::string(10000, 'x'));
    fs::permissions(file, static_cast<fs::perms>(0640));
    // Characters of one to four bytes, so that some straddle every piece written.
    std::string text;
    while (text.size() < 300 * 1024)
        text += "a\xC3\xA9\xE2\x82\xAC\xE6\xBC\xA2\xF0\x9F\x98\x80";
    ASSERT_TRUE(writeStylesheet(file.string(), text).ok);
    std::string expected;
    for (std::size_t i = 0; i < text.size() / 13; ++i)
        expected += "a\xE9\x80??";
    EXPECT_EQ(readBytes(file), expected + "\r\n");
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(syncedFolders, std::vector<std::string>{dir.string()});

    const mode_t mask = umask(022);
    const bool ok = writeStylesheet((dir / "new").string(), "").ok;
    umask(mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(readBytes(dir / "new"), "\r\n");
    EXPECT_EQ(fs::status(dir / "new").permissions(), static_cast<fs::perms>(0644));
}

TEST_F(WriteFile, longestLegalNameAndLinksAreWritten)
{
    const std::string name = std::string(NAME_MAX - 4, 'n') + ".css";
    ASSERT_TRUE(writeStylesheet((dir / name).string(), "x").ok);
    EXPECT_EQ(readBytes(dir / name), "x\r\n");

    fs::create_directory(dir / "real");
    writeBytes(dir / "real" / "style.css", "old");
    fs::create_symlink("real/style.css", dir / "link.css");
    ASSERT_TRUE(writeStylesheet((dir / "link.css").string(), "new").ok);
    EXPECT_TRUE(fs::is_symlink(dir / "link.css"));
    EXPECT_EQ(readBytes(dir / "real" / "style.css"), "new\r\n");
}

TEST_F(WriteFile, refusesWhatCannotBeWrittenAndSaysWhy)
{
    const fs::path file = dir / "old.css";
    writeBytes(file, "old");
    std::string longPath = dir.string();
    while (longPath.size() < PATH_MAX + 100)
        longPath += "/.";
    const TextCase refused[] = {{"", "no file name"},
                                {(dir / "missing" / "style.css").string(), "does not exist"},
                                {dir.string(), "is a folder"},
                                {(file / "below-a-file.css").string(), "not a folder"},
                                {longPath + "/style.css", "too long"},
                                {(dir / (std::string(NAME_MAX + 1, 'n'))).string(), "too long"}};
    for (const auto& [path, reason] : refused) {
        const WriteResult result = writeStylesheet(path, "new");
        EXPECT_FALSE(result.ok) << path;
        EXPECT_NE(result.reason.find(reason), std::string::npos) << result.reason;
        expectUntouched(file, "old");
    }
    EXPECT_EQ(pathProblem(longPath + "/style.css"), PathProblem::TooLong);

    fs::permissions(file, static_cast<fs::perms>(0444));
    const WriteResult readOnly = writeStylesheet(file.string(), "new");
    EXPECT_FALSE(readOnly.ok);
    EXPECT_NE(readOnly.reason.find("old.css: the file is read-only"), std::string::npos);
    expectUntouched(file, "old");
}

TEST_F(WriteFile, failuresLeaveOldFileAndNoTemporary)
{
    const fs::path file = dir / "old.css";
    writeBytes(file, "old");
    // The file size limit makes write() fail part-way once the file was created.
    const int status = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return writeStylesheet(file.string(), std::string(100000, 'x')).ok ? 0 : 1;
    });
    EXPECT_EQ(status, 1);
    expectUntouched(file, "old");

    failFolderSync = true;
    const WriteResult unsynced = writeStylesheet(file.string(), "new");
    EXPECT_FALSE(unsynced.ok);
    EXPECT_NE(unsynced.reason.find("writing failed"), std::string::npos) << unsynced.reason;
}

TEST_F(WriteFile, refusesFolderTheUserMayNotWrite)
{
    const fs::path folder = dir / "locked";
    fs::create_directory(folder);
    fs::permissions(dir, static_cast<fs::perms>(0755));
    fs::permissions(folder, static_cast<fs::perms>(0555));
    const uid_t nobody = 65534;
    const int status = inChild([&] {
        // Root may write anywhere: drop to an unprivileged user to see the refusal.
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0))
            return 2;
        return writeStylesheet((folder / "style.css").string(), "x").ok ? 0 : 1;
    });
    if (status == 2)
        GTEST_SKIP() << "cannot switch to an unprivileged user here";
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(fs::is_empty(folder));
}
