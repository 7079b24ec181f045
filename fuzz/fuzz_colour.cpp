// Colour notation: always "#" and six upper-case hex digits that read back as the colour.
#include "stylesheet.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::uint32_t value = 0;
    std::memcpy(&value, data, 4);
    const std::string text = rulecraft::colourToHex(value);

    if (text.size() != 7 || text[0] != '#')
        std::abort();
    for (std::size_t i = 1; i < 7; ++i) {
        if (!((text[i] >= '0' && text[i] <= '9') || (text[i] >= 'A' && text[i] <= 'F')))
            std::abort();
    }
    const unsigned long rgb = std::strtoul(text.c_str() + 1, nullptr, 16);
    const std::uint32_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
    if ((red | green << 8 | blue << 16) != (value & 0xFFFFFF))
        std::abort();
    return 0;
}
