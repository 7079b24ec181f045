#include "stylesheet.h"

#include <gtest/gtest.h>

using namespace rulecraft;

namespace {

struct RouteCase {
    std::string key;
    Section section;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RouteCase& c, std::ostream* os)
{
    *os << '"' << c.key << '"';
}

class Routing : public testing::TestWithParam<RouteCase> {};

// Commits one rule for a custom tag of the given key, as the editor would.
void commit(SectionSet& sections, const std::string& key, const std::string& declarations)
{
    chooseCustomTag(key);
    captureEditTag();
    storeSelection(modVar.EditKey, declarations, sections);
}

class Commit : public testing::Test {
protected:
    void SetUp() override { modVar = {}; }
    MemorySectionSet sections;
};

std::string name(const testing::TestParamInfo<RouteCase>& info)
{
    std::string n = "key_";
    for (char c : info.param.key)
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n + "_" + std::to_string(info.index);
}

} // namespace

TEST_P(Routing, keyLandsInItsSection)
{
    EXPECT_EQ(sectionForKey(GetParam().key), GetParam().section);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Routing,
    testing::Values(RouteCase{"body", Section::Body}, RouteCase{"a", Section::A},
                    RouteCase{"alink", Section::A}, RouteCase{"avisited", Section::A},
                    RouteCase{"ahover", Section::A}, RouteCase{"table", Section::Table},
                    RouteCase{"tr", Section::Table}, RouteCase{"td", Section::Table},
                    RouteCase{"hr", Section::HR}, RouteCase{"h1", Section::H},
                    RouteCase{"h6", Section::H}, RouteCase{"Body", Section::Blank},
                    RouteCase{"TD", Section::Blank}, RouteCase{"h", Section::Blank},
                    RouteCase{"h7", Section::Blank}, RouteCase{"h0", Section::Blank},
                    RouteCase{"body ", Section::Blank}, RouteCase{"a:hover", Section::Blank},
                    RouteCase{"", Section::Blank}, RouteCase{"p.note", Section::Blank}),
    name);

TEST_F(Commit, ruleHasTwoBlanksBeforeTheBrace)
{
    chooseCatalogueTag(tagCatalogue[4]); // a:hover
    captureEditTag();
    storeSelection(modVar.EditKey, declarationText(PropertyGroup::Color, "", "#FF0000"), sections);
    EXPECT_EQ(modVar.LastRule, "a:hover { color:#FF0000;  }\r\n");
    EXPECT_EQ(sections.text(Section::A), modVar.LastRule);
}

TEST_F(Commit, emptyDeclarationsGiveAnEmptyRule)
{
    commit(sections, "td", "");
    EXPECT_EQ(sections.text(Section::Table), "td {  }\r\n");
}

TEST_F(Commit, bodyRuleReplacesSection)
{
    sections.replace(Section::Body, "typed by hand\r\n");
    commit(sections, "body", "margin: 0; ");
    commit(sections, "body", "color:#000000; ");
    EXPECT_EQ(sections.text(Section::Body), "body { color:#000000;  }\r\n");
}

TEST_F(Commit, otherSectionsAppendInCommitOrder)
{
    sections.replace(Section::A, "typed by hand");
    commit(sections, "ahover", "color:#FF0000; ");
    commit(sections, "a", "color:#0000FF; ");
    EXPECT_EQ(sections.text(Section::A),
              "typed by handahover { color:#FF0000;  }\r\na { color:#0000FF;  }\r\n");
}

TEST_F(Commit, ruleUsesTheTagCapturedWithTheKey)
{
    chooseCatalogueTag(tagCatalogue[7]); // td
    captureEditTag();
    chooseCatalogueTag(tagCatalogue[8]); // hr, while the editor is open
    storeSelection(modVar.EditKey, "color:red; ", sections);

    EXPECT_EQ(sections.text(Section::Table), "td { color:red;  }\r\n");
    EXPECT_EQ(sections.text(Section::HR), "");
}
