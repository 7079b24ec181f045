// SPDX-License-Identifier: GPL-3.0-or-later
// The one code page a stylesheet is saved in, from the UTF-8 the rest of the program speaks.
#include "core/codepage.h"
#include "core/stylesheet.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace rulecraft {

namespace {

constexpr char unmappable = '?';

std::optional<char> cp1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < cp1252High.size(); ++i) {
        if (cp1252High[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

// Decodes one UTF-8 sequence at text[pos]; returns the code point and its length, or
// nullopt (length 1) for a malformed byte, so that each bad byte becomes one '?'.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t pos, std::size_t& length)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    length = 1;
    if (lead < 0x80)
        return lead;

    std::size_t extra = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + extra >= text.size())
        return std::nullopt;
    for (std::size_t i = 1; i <= extra; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    if (c < smallest || c > 0x10FFFF || surrogate)
        return std::nullopt;
    length = extra + 1;
    return c;
}

} // namespace

void appendWindows1252(std::string& bytes, std::string_view utf8)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // Plain ASCII runs are the common case; find their end eight bytes at a time and
        // copy them whole.
        std::size_t run = pos;
        for (std::uint64_t word = 0; run + sizeof word <= utf8.size(); run += sizeof word) {
            std::memcpy(&word, utf8.data() + run, sizeof word);
            if (word & 0x8080808080808080u)
                break;
        }
        while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80)
            ++run;
        bytes.append(utf8, pos, run - pos);
        pos = run;
        if (pos == utf8.size())
            break;
        std::size_t length = 1;
        const std::optional<char32_t> c = decodeUtf8(utf8, pos, length);
        const std::optional<char> b = c ? cp1252Byte(*c) : std::nullopt;
        bytes += b.value_or(unmappable);
        pos += length;
    }
}

std::string toWindows1252(std::string_view utf8)
{
    std::string bytes;
    bytes.reserve(utf8.size());
    appendWindows1252(bytes, utf8);
    return bytes;
}

bool forEachFilePiece(std::string_view text, const std::function<bool(std::string_view)>& take)
{
    constexpr std::size_t piece = 64 * 1024;
    std::string bytes;
    bytes.reserve(piece);
    while (!text.empty()) {
        // Pieces end at character boundaries.
        std::size_t end = std::min(piece, text.size());
        while (end < text.size() && end > 0 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (end == 0)
            end = std::min(piece, text.size());
        bytes.clear();
        appendWindows1252(bytes, text.substr(0, end));
        if (!take(bytes))
            return false;
        text.remove_prefix(end);
    }
    return take(crlf);
}

} // namespace rulecraft
