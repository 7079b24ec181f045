// SPDX-License-Identifier: GPL-3.0-or-later
// The save pipeline, sections to file, against a model of its own: byte 0x01 separates the
// six sections of the input. Assembly joins the non-empty ones, each followed by CR LF; the
// code page gives one byte per character, keeps ASCII as it is and never writes a byte it
// leaves undefined; the file is those bytes and CR LF.
#include "core/stylesheet.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace rulecraft;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto check = [](bool holds) { holds ? void() : std::abort(); };
    static const std::string file = [] {
        std::string folder = std::filesystem::temp_directory_path() / "fuzz-XXXXXX";
        return std::string(mkdtemp(folder.data())) + "/style.css";
    }();
    const std::string input(reinterpret_cast<const char*>(data), size);
    MemorySectionSet sections;
    std::string expected;
    std::size_t start = 0;
    for (Section section : sectionsInOrder) {
        const std::size_t end = std::min(input.find('\x01', start), input.size());
        const std::string text = start < input.size() ? input.substr(start, end - start) : "";
        sections.replace(section, text);
        expected += text.empty() ? "" : text + "\r\n";
        start = end + 1;
    }
    std::string stylesheet;
    assembleStylesheet(sections, stylesheet);
    check(stylesheet == expected);

    const std::string bytes = toWindows1252(stylesheet);
    std::size_t characters = 0; // lead bytes and stray bytes; each gives one byte or more
    for (char c : stylesheet)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    check(bytes.size() >= characters && bytes.size() <= stylesheet.size());
    const bool ascii =
        std::all_of(stylesheet.begin(), stylesheet.end(), [](char c) { return c >= 0; });
    check(!ascii || bytes == stylesheet);
    for (unsigned char b : bytes)
        check(b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D);

    check(writeStylesheet(file, stylesheet).ok);
    std::ifstream in(file, std::ios::binary);
    check(std::string(std::istreambuf_iterator<char>(in), {}) == bytes + "\r\n");
    return 0;
}
