// The file text: one byte per character, ASCII unchanged, the file is text + CR LF.
#include "stylesheet.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Independent of the converter: counts characters if the text is well-formed UTF-8.
bool isUtf8(std::string_view text, std::size_t& characters)
{
    characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        if (length == 0 || i + length > text.size())
            return false;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

const std::filesystem::path& outputFile()
{
    static const std::filesystem::path file = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "fuzz-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            std::abort();
        return std::filesystem::path(folder) / "style.css";
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string bytes = rulecraft::toWindows1252(text);

    if (bytes.size() > text.size())
        std::abort();
    for (const char b : bytes) {
        // Bytes the code page leaves undefined are never written.
        const auto byte = static_cast<unsigned char>(b);
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
            std::abort();
    }
    std::size_t characters = 0;
    if (isUtf8(text, characters)) {
        if (bytes.size() != characters)
            std::abort();
        // Character by character: ASCII stays itself, anything else is one byte of its own.
        std::size_t j = 0;
        for (std::size_t i = 0; i < text.size(); ++j) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            const auto out = static_cast<unsigned char>(bytes[j]);
            if (length == 1 ? out != lead : out < 0x80 && out != '?')
                std::abort();
            i += length;
        }
    }

    if (!rulecraft::writeStylesheet(outputFile().string(), text).ok)
        std::abort();
    std::ifstream in(outputFile(), std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    if (written != bytes + "\r\n")
        std::abort();
    return 0;
}
