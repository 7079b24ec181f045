#include "stylesheet.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rulecraft;
namespace fs = std::filesystem;

namespace {

SectionTexts onlySection(Section section, std::string text)
{
    SectionTexts texts;
    texts[static_cast<std::size_t>(section)] = std::move(text);
    return texts;
}

struct EncodingCase {
    std::string name;
    std::string utf8;
    std::string bytes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const EncodingCase& c, std::ostream* os)
{
    *os << c.name;
}

class Windows1252 : public testing::TestWithParam<EncodingCase> {};

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

class WriteFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "rulecraft-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        fs::permissions(dir, fs::perms::owner_all);
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_all | fs::perms::owner_read);
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

TEST(Assemble, sectionsInFixedOrderWithLineAfterEach)
{
    SectionTexts texts;
    texts[1] = "a { color:#0000FF;  }\r\na:hover { color:#FF0000;  }\r\n";
    texts[0] = "body { color:#000000;  }\r\n";
    EXPECT_EQ(assembleStylesheet(texts), "body { color:#000000;  }\r\n\r\n"
                                         "a { color:#0000FF;  }\r\na:hover { color:#FF0000;  }\r\n"
                                         "\r\n");
}

TEST(Assemble, emptySectionsAddNothing)
{
    EXPECT_EQ(assembleStylesheet(SectionTexts{}), "");
    EXPECT_EQ(assembleStylesheet(onlySection(Section::Blank, "p {  }\r\n")), "p {  }\r\n\r\n");
}

TEST(Assemble, aBlankCountsAsText)
{
    EXPECT_EQ(assembleStylesheet(onlySection(Section::HR, " ")), " \r\n");
}

TEST(Assemble, orderDoesNotDependOnCommitOrder)
{
    modVar = {};
    MemorySectionSet sections;
    for (const char* key : {"h1", "td", "body", "p", "hr", "a"}) {
        chooseCustomTag(key);
        captureEditTag();
        storeSelection(key, "", sections);
    }
    EXPECT_EQ(assembleStylesheet(sections.texts()),
              "body {  }\r\n\r\na {  }\r\n\r\ntd {  }\r\n\r\nhr {  }\r\n\r\nh1 {  }\r\n\r\n"
              "p {  }\r\n\r\n");
}

TEST_P(Windows1252, oneBytePerCharacter)
{
    EXPECT_EQ(toWindows1252(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Windows1252,
    testing::Values(EncodingCase{"ascii", "body { color:#000;  }\r\n\t~",
                                 "body { color:#000;  }\r\n\t~"},
                    EncodingCase{"latin1", "\xC3\xA9\xC3\xBF\xC2\xA0", "\xE9\xFF\xA0"},
                    EncodingCase{"euro", "\xE2\x82\xAC", "\x80"},
                    EncodingCase{"quotes", "\xE2\x80\x9C\xE2\x80\x9D\xC5\xB8", "\x93\x94\x9F"},
                    EncodingCase{"cjk", "\xE6\xBC\xA2", "?"},
                    EncodingCase{"emoji", "a\xF0\x9F\x98\x80z", "a?z"},
                    EncodingCase{"c1Control", "\xC2\x81", "?"},
                    EncodingCase{"strayContinuation", "\x80x", "?x"},
                    EncodingCase{"truncated", "x\xE2\x82", "x??"},
                    EncodingCase{"overlong", "\xC0\xAF", "??"},
                    EncodingCase{"nul", std::string("a\0b", 3), std::string("a\0b", 3)}),
    [](const testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

TEST_F(WriteFile, writesTextAndLineEnd)
{
    const fs::path file = dir / "style.css";
    ASSERT_TRUE(writeStylesheet(file.string(), "a {  }\r\n\r\n\xC3\xA9\xE2\x82\xAC").ok);
    EXPECT_EQ(readBytes(file), "a {  }\r\n\r\n\xE9\x80\r\n");
}

TEST_F(WriteFile, charactersAcrossWritePiecesStayWhole)
{
    // Characters of one to four bytes, so that some straddle every 64 KB piece written.
    std::string text;
    while (text.size() < 300 * 1024)
        text += "a\xC3\xA9\xE2\x82\xAC\xE6\xBC\xA2\xF0\x9F\x98\x80";
    const fs::path file = dir / "large.css";
    ASSERT_TRUE(writeStylesheet(file.string(), text).ok);
    EXPECT_EQ(readBytes(file), toWindows1252(text) + "\r\n");
    EXPECT_EQ(readBytes(file).substr(0, 8), "a\xE9\x80??a\xE9\x80");
}

TEST_F(WriteFile, emptyTextGivesOnlyLineEnd)
{
    const fs::path file = dir / "style";
    ASSERT_TRUE(writeStylesheet(file.string(), "").ok);
    EXPECT_EQ(readBytes(file), "\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"style"});
}

TEST_F(WriteFile, replacesLongerFileEntirely)
{
    const fs::path file = dir / "style.css";
    writeBytes(file, std::string(10000, 'x'));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(writeStylesheet(file.string(), "hr {  }").ok);
    EXPECT_EQ(readBytes(file), "hr {  }\r\n");
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(WriteFile, newFileGetsDefaultPermissions)
{
    const mode_t mask = umask(022);
    const fs::path file = dir / "new.css";
    const bool ok = writeStylesheet(file.string(), "").ok;
    umask(mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0644));
}

TEST_F(WriteFile, linkIsKeptAndItsFileWritten)
{
    fs::create_directory(dir / "real");
    writeBytes(dir / "real" / "style.css", "old");
    fs::create_symlink("real/style.css", dir / "link.css");

    ASSERT_TRUE(writeStylesheet((dir / "link.css").string(), "new").ok);
    EXPECT_TRUE(fs::is_symlink(dir / "link.css"));
    EXPECT_EQ(readBytes(dir / "real" / "style.css"), "new\r\n");
}

TEST_F(WriteFile, refusesWhatCannotBeWritten)
{
    const fs::path file = dir / "old.css";
    writeBytes(file, "old contents\r\n");

    for (const std::string& path : {std::string(), (dir / "missing" / "style.css").string(),
                                    dir.string(), (file / "below-a-file.css").string()}) {
        const WriteResult result = writeStylesheet(path, "new");
        EXPECT_FALSE(result.ok) << path;
        EXPECT_FALSE(result.reason.empty()) << path;
        expectUntouched(file, "old contents\r\n");
    }
}

TEST_F(WriteFile, refusesReadOnlyFileEvenForRoot)
{
    const fs::path file = dir / "old.css";
    writeBytes(file, "old contents\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const WriteResult result = writeStylesheet(file.string(), "new");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("old.css"), std::string::npos) << result.reason;
    expectUntouched(file, "old contents\r\n");
}

TEST_F(WriteFile, failedWriteLeavesOldFileAndNoTemporary)
{
    const fs::path file = dir / "old.css";
    writeBytes(file, "old contents\r\n");

    // The file size limit makes write() fail part-way once the file was created.
    const int status = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return writeStylesheet(file.string(), std::string(100000, 'x')).ok ? 0 : 1;
    });
    EXPECT_EQ(status, 1);
    expectUntouched(file, "old contents\r\n");
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
