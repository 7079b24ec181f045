#include "stylesheet.h"

#include <gtest/gtest.h>

using namespace rulecraft;

namespace {

struct ColourCase {
    std::uint32_t value;
    std::string hex;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ColourCase& c, std::ostream* os)
{
    *os << c.value;
}

class ColourNotation : public testing::TestWithParam<ColourCase> {};

} // namespace

TEST_P(ColourNotation, isHashAndRedGreenBlue)
{
    EXPECT_EQ(colourToHex(GetParam().value), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ColourNotation,
    testing::Values(ColourCase{0, "#000000"}, ColourCase{255, "#FF0000"},
                    ColourCase{0xFF00, "#00FF00"}, ColourCase{0xFF0000, "#0000FF"},
                    ColourCase{0xFFFFFF, "#FFFFFF"}, ColourCase{0x0A0B0C, "#0C0B0A"},
                    ColourCase{0x100909, "#090910"}, ColourCase{0xEFCDAB, "#ABCDEF"},
                    // Bits above the colour are ignored, so the text stays 7 characters.
                    ColourCase{0xFF0000FF, "#FF0000"}, ColourCase{0xFFFFFFFF, "#FFFFFF"}),
    [](const testing::TestParamInfo<ColourCase>& info) {
        return "value" + std::to_string(info.param.value);
    });
