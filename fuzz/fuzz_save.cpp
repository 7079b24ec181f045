// SPDX-License-Identifier: GPL-3.0-or-later
// The save pipeline, sections to file: assembly, Windows-1252 and the written bytes, each
// checked against a model of its own. Byte 0x01 separates the six sections of the input.
#include "core/stylesheet.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace rulecraft;

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

// The length of the UTF-8 character at text[i], or 0 where none is well formed.
std::size_t characterLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = c >= smallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    return valid ? length : 0;
}

const std::filesystem::path& outputFile()
{
    static const std::filesystem::path file = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "fuzz-XXXXXX").string();
        check(mkdtemp(folder.data()) != nullptr);
        return std::filesystem::path(folder) / "style.css";
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    MemorySectionSet sections;
    std::string expected;
    std::size_t start = 0;
    for (Section section : sectionsInOrder) {
        const std::size_t end = std::min(input.find('\x01', start), input.size());
        const std::string text = start < input.size() ? input.substr(start, end - start) : "";
        sections.replace(section, text);
        if (!text.empty())
            expected += text + "\r\n";
        start = end + 1;
    }
    std::string stylesheet;
    assembleStylesheet(sections, stylesheet);
    check(stylesheet == expected);

    // Each well-formed character is one byte: ASCII itself, anything else a byte above
    // ASCII or "?"; each malformed byte is one "?". Bytes the code page leaves undefined
    // never appear.
    const std::string bytes = toWindows1252(stylesheet);
    std::size_t out = 0;
    for (std::size_t i = 0; i < stylesheet.size(); ++out) {
        check(out < bytes.size());
        const auto byte = static_cast<unsigned char>(bytes[out]);
        check(byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D);
        const std::size_t length = characterLength(stylesheet, i);
        if (length == 1)
            check(bytes[out] == stylesheet[i]);
        else if (length == 0)
            check(bytes[out] == '?');
        else
            check(byte >= 0x80 || bytes[out] == '?');
        i += length == 0 ? 1 : length;
    }
    check(out == bytes.size());

    check(writeStylesheet(outputFile().string(), stylesheet).ok);
    std::ifstream in(outputFile(), std::ios::binary);
    check(std::string(std::istreambuf_iterator<char>(in), {}) == bytes + "\r\n");
    return 0;
}
