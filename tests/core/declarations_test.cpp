#include "stylesheet.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace rulecraft;

namespace {

struct DeclarationCase {
    std::string name;
    PropertyGroup group;
    std::string subProperty;
    std::string value;
    std::string text;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DeclarationCase& c, std::ostream* os)
{
    *os << c.name;
}

class Declaration : public testing::TestWithParam<DeclarationCase> {};

std::vector<std::string> entries(PropertyGroup group)
{
    const auto list = groupInfo(group).subProperties;
    return {list.begin(), list.end()};
}

} // namespace

TEST_P(Declaration, textIsExact)
{
    const DeclarationCase& c = GetParam();
    EXPECT_EQ(declarationText(c.group, c.subProperty, c.value), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, Declaration,
    testing::Values(
        DeclarationCase{"colour", PropertyGroup::Color, "", "#FF0000", "color:#FF0000; "},
        DeclarationCase{"colourEmpty", PropertyGroup::Color, "", "", "color:; "},
        DeclarationCase{"borderShorthand", PropertyGroup::Border, "", "1px solid",
                        "border: 1px solid; "},
        DeclarationCase{"backgroundColour", PropertyGroup::Background, "-color", "#FF0000",
                        "background-color: #FF0000; "},
        DeclarationCase{"fontSize", PropertyGroup::Font, "-size", "12px", "font-size: 12px; "},
        DeclarationCase{"typedSuffixUntrimmed", PropertyGroup::Margin, "-top ", " 5px",
                        "margin-top :  5px; "},
        DeclarationCase{"bothEmpty", PropertyGroup::Padding, "", "", "padding: ; "},
        DeclarationCase{"unicodeValue", PropertyGroup::Font, "-family", "\"Café Ünïcode\"",
                        "font-family: \"Café Ünïcode\"; "}),
    [](const testing::TestParamInfo<DeclarationCase>& info) { return info.param.name; });

TEST(PropertyGroups, subPropertyListsInTheirOrder)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(entries(PropertyGroup::Background),
              (V{"-color", "-attachment", "-image", "-position", "-repeat"}));
    EXPECT_EQ(entries(PropertyGroup::Margin), (V{"-bottom", "-top", "-left", "-right"}));
    EXPECT_EQ(entries(PropertyGroup::Border),
              (V{"-width", "-style", "-color", "-bottom", "-left", "-right", "-top"}));
    EXPECT_EQ(entries(PropertyGroup::Padding), (V{"-bottom", "-left", "-right", "-top"}));
    EXPECT_EQ(entries(PropertyGroup::Text), (V{"-align", "-decoration", "-indent", "-transform"}));
    EXPECT_EQ(entries(PropertyGroup::Font),
              (V{"-style", "-variant", "-weight", "-size", "-family"}));
    EXPECT_TRUE(entries(PropertyGroup::Color).empty());
}
