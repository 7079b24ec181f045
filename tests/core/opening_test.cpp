// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a stylesheet: its bytes as text, its rules into sections, and the files that are
// refused. That a saved file opens back into its sections is the fuzzer's to search.
#include "core/opening.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace rulecraft;
namespace fs = std::filesystem;

namespace {

struct Decoding {
    const char* name;
    std::string bytes;
    std::string text;
    std::size_t undefined;
};

class Decode : public testing::TestWithParam<Decoding> {};

TEST_P(Decode, readsUtf8AsItIsAndElseWindows1252WithCrLf)
{
    const DecodedText decoded = decodeStylesheet(GetParam().bytes);
    ASSERT_TRUE(decoded.ok) << decoded.reason;
    EXPECT_EQ(decoded.text, GetParam().text);
    EXPECT_EQ(decoded.undefinedBytes, GetParam().undefined);
}

INSTANTIATE_TEST_SUITE_P(
    , Decode,
    testing::Values(
        Decoding{"utf8", "p.caf\xC3\xA9 { x: \xE2\x82\xAC\xE6\xBC\xA2\xF0\x9F\x98\x80; }",
                 "p.caf\xC3\xA9 { x: \xE2\x82\xAC\xE6\xBC\xA2\xF0\x9F\x98\x80; }", 0},
        Decoding{"bom", "\xEF\xBB\xBF\xC3\xA9", "\xC3\xA9", 0},
        Decoding{"bomBeforeWindows1252", "\xEF\xBB\xBF\xE9", "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xA9", 0},
        Decoding{"latin", "\xE9t\xE9 \xA0\xFF", "\xC3\xA9t\xC3\xA9 \xC2\xA0\xC3\xBF", 0},
        Decoding{"c1Range",
                 "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
                 "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
                 "€\uFFFD‚ƒ„…†‡ˆ‰Š‹Œ\uFFFDŽ\uFFFD\uFFFD‘’“”•–—˜™š›œ\uFFFDžŸ", 5},
        Decoding{"notShortest", "\xC0\xAF", "À¯", 0},
        Decoding{"surrogate", "\xED\xA0\x80", "í\u00A0€", 0},
        Decoding{"aboveUnicode", "\xF4\x90\x80\x80", "ô\uFFFD€€", 1},
        Decoding{"cutShort", "a\xE2\x82", "aâ‚", 0},
        Decoding{"lineBreaks", "a\rb\nc\r\nd\n\re\r", "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n", 0},
        Decoding{"lineBreaksPastAWord", "12345678\r12345678", "12345678\r\n12345678", 0}),
    [](const auto& info) { return info.param.name; });

struct Split {
    const char* name;
    std::string text;
    // body, links, tables, hr, headings, custom
    SectionTexts sections;
};

class Route : public testing::TestWithParam<Split> {};

TEST_P(Route, filesEachRuleByItsSelectorLosingNothing)
{
    EXPECT_EQ(splitIntoSections(GetParam().text), GetParam().sections);
}

INSTANTIATE_TEST_SUITE_P(
    , Route,
    testing::Values(
        Split{"catalogueAndHeadings",
              "h6 { }\r\ntd { }\r\na:hover { }\r\nhr { }\r\nh7 { }\r\na { }\r\nh1 { }\r\n"
              "body { }\r\ntr { }\r\na:link { }\r\nh2 { }\r\nh3 { }\r\ntable { }\r\n"
              "a:visited { }\r\nh4 { }\r\np.note { }\r\nh5 { }\r\nBODY { }\r\n",
              {"body { }\r\n", "a:hover { }\r\na { }\r\na:link { }\r\na:visited { }\r\n",
               "td { }\r\ntr { }\r\ntable { }\r\n", "hr { }\r\n",
               "h6 { }\r\nh1 { }\r\nh2 { }\r\nh3 { }\r\nh4 { }\r\nh5 { }\r\n",
               "h7 { }\r\np.note { }\r\nBODY { }\r\n"}},
        Split{"savedLayout",
              "body { }\r\n\r\na { }\r\na:hover { }\r\n\r\n\r\n",
              {"body { }\r\n", "a { }\r\na:hover { }\r\n", "", "", "", ""}},
        Split{"listAtRuleAndStatement",
              "@import url(x.css);\r\nh1, h2 { }\r\n@media print {\r\n  hr { }\r\n}\r\nhr { }\r\n",
              {"", "", "", "hr { }\r\n", "",
               "@import url(x.css);\r\nh1, h2 { }\r\n@media print {\r\n  hr { }\r\n}\r\n"}},
        Split{"commentAndBlankLinesGoWithTheRuleAfter",
              "p { }\r\n\r\n/* links */\r\n\r\na\r\n{\r\n  color: red;\r\n} /* done */\r\ntd{}",
              {"", "/* links */\r\n\r\na\r\n{\r\n  color: red;\r\n} /* done */\r\n", "td{}\r\n", "",
               "", "p { }\r\n"}},
        Split{"bracesInStringCommentAndEscape",
              "body { content: \"}\"; }\r\nhr { /* } */ }\r\ntd { x: \\}; y: '{' }\r\n",
              {"body { content: \"}\"; }\r\n", "", "td { x: \\}; y: '{' }\r\n",
               "hr { /* } */ }\r\n", "", ""}},
        Split{"unterminatedStringAndBlock",
              "body { content: \"open; }\r\n}\r\nhr { }\r\nh1 {\r\n",
              {"body { content: \"open; }\r\n}\r\n", "", "", "hr { }\r\n", "", "h1 {\r\n"}},
        Split{"unterminatedComment",
              "hr { }\r\n/* open\r\nh1 { }\r\n",
              {"", "", "", "hr { }\r\n", "", "/* open\r\nh1 { }\r\n"}},
        Split{"noRuleAndStrayText",
              "stray\r\nbody { } } hr { }",
              {"", "", "", " hr { }\r\n", "", "stray\r\nbody { } }\r\n"}}),
    [](const auto& info) { return info.param.name; });

class OpenFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "rulecraft-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const char* name, std::string_view bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
    fs::path dir;
};

TEST_F(OpenFile, readsRegularFilesAndRefusesEverythingElseAtOnce)
{
    const OpenResult saved = openStylesheet(write("saved.css", "p.caf\xE9 { }\r\n\r\n\r\n"));
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(saved.sections[5], "p.caf\xC3\xA9 { }\r\n");

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, const char*> refused[] = {
        {dir, "folder"},
        {dir / "fifo", "FIFO"},
        {"/dev/zero", "device"},
        {write("nul.css", std::string("p { }\0", 6)), "NUL"},
        {dir / "missing.css", "No such file"},
        {write("locked.css", "p { }"), "Permission denied"},
        // A regular file whose size says 0 and that still has text: it grew while read.
        {"/proc/self/status", "changed"},
    };
    ASSERT_EQ(chmod((dir / "locked.css").c_str(), 0200), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    for (const auto& [path, why] : refused) {
        // root reads everything; nobody does not.
        const bool asNobody = geteuid() == 0 && std::string_view(why) == "Permission denied";
        ASSERT_EQ(asNobody ? seteuid(65534) : 0, 0);
        const OpenResult result = openStylesheet(path);
        ASSERT_EQ(asNobody ? seteuid(0) : 0, 0);
        EXPECT_FALSE(result.ok) << path;
        EXPECT_NE(result.reason.find(path), std::string::npos) << result.reason;
        EXPECT_NE(result.reason.find(why), std::string::npos) << result.reason;
    }
}

} // namespace
