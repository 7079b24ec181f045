#include "stylesheet.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace rulecraft;

namespace {

struct TagCase {
    std::string name;
    std::function<void()> choose;
    std::string key;
    std::string opener;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TagCase& c, std::ostream* os)
{
    *os << c.name;
}

class TagChoice : public testing::TestWithParam<TagCase> {
protected:
    void SetUp() override { modVar = {}; }
};

const CatalogueTag& catalogue(std::string_view button)
{
    for (const CatalogueTag& tag : tagCatalogue) {
        if (tag.button == button)
            return tag;
    }
    throw std::invalid_argument(std::string(button));
}

} // namespace

TEST_P(TagChoice, setsKeyOpenerAndCloser)
{
    GetParam().choose();
    EXPECT_EQ(modVar.TagKey, GetParam().key);
    EXPECT_EQ(modVar.TagOpen, GetParam().opener);
    EXPECT_EQ(modVar.TagClose, " }\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Tags, TagChoice,
    testing::Values(
        TagCase{"body", [] { chooseCatalogueTag(catalogue("cmdBody")); }, "body", "body { "},
        TagCase{"alink", [] { chooseCatalogueTag(catalogue("cmdAlink")); }, "alink", "a:link { "},
        TagCase{"avisited", [] { chooseCatalogueTag(catalogue("cmdAvisited")); }, "avisited",
                "a:visited { "},
        TagCase{"ahover", [] { chooseCatalogueTag(catalogue("cmdAhover")); }, "ahover",
                "a:hover { "},
        TagCase{"td", [] { chooseCatalogueTag(catalogue("cmdTD")); }, "td", "td { "},
        TagCase{"heading3", [] { chooseHeading("3"); }, "h3", "h3 { "},
        TagCase{"headingEmpty", [] { chooseHeading(""); }, "h", "h { "},
        TagCase{"heading7", [] { chooseHeading("7"); }, "h7", "h7 { "},
        TagCase{"customSelector", [] { chooseCustomTag("div#top ul"); }, "div#top ul",
                "div#top ul { "},
        TagCase{"customUntrimmed", [] { chooseCustomTag(" p.note "); }, " p.note ", " p.note  { "},
        TagCase{"customEmpty", [] { chooseCustomTag(""); }, "", " { "}),
    [](const testing::TestParamInfo<TagCase>& info) { return info.param.name; });

TEST(EditTag, captureKeepsTheTagOfThatMoment)
{
    modVar = {};
    chooseCatalogueTag(catalogue("cmdTD"));
    captureEditTag();
    chooseCatalogueTag(catalogue("cmdHR"));

    EXPECT_EQ(modVar.EditKey, "td");
    EXPECT_EQ(modVar.EditOpen, "td { ");
    EXPECT_EQ(modVar.TagKey, "hr");
}

TEST(EditTag, headingAndTitleNameTheKey)
{
    EXPECT_EQ(editorHeading("ahover"), "Editing Tag for: ahover Selector");
    EXPECT_EQ(editorTitle("ahover"), "ahover { PROPERTY : VALUE }");
    EXPECT_EQ(editorHeading(""), "Editing Tag for:  Selector");
    EXPECT_EQ(editorTitle(""), " { PROPERTY : VALUE }");
}
