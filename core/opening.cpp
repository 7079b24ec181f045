// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes to text and text to sections. Hand-written: the core has no Qt, and the standard
// library neither checks UTF-8 nor reads Windows-1252.
#include "core/opening.h"
#include "core/codepage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace rulecraft {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view replacement = "\xEF\xBF\xBD";

// Past the ASCII bytes from pos, eight at a time, up to one that needs a look: a byte of
// 0x80 or more, or a control character below 0x0E (NUL, LF and CR among them).
std::size_t plainAsciiEnd(std::string_view bytes, std::size_t pos)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highBits = 0x8080808080808080u;
    for (std::uint64_t word = 0; pos + sizeof word <= bytes.size(); pos += sizeof word) {
        std::memcpy(&word, bytes.data() + pos, sizeof word);
        if (const std::uint64_t flags = (word | ((word - ones * 0x0E) & ~word)) & highBits) {
            // The lowest flag is exact: a borrow runs only towards higher bytes.
            if constexpr (std::endian::native == std::endian::little)
                return pos + std::size_t(std::countr_zero(flags) / 8);
            break;
        }
    }
    const auto plain = [](unsigned char b) { return b >= 0x0E && b < 0x80; };
    while (pos < bytes.size() && plain(static_cast<unsigned char>(bytes[pos])))
        ++pos;
    return pos;
}

// The length of the UTF-8 sequence at pos, or 0 where there is none: shortest forms only, no
// surrogates, nothing above U+10FFFF.
std::size_t utf8SequenceAt(std::string_view bytes, std::size_t pos)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(pos);
    std::size_t extra = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - pos <= extra || at(pos + 1) < low || at(pos + 1) > high)
        return 0;
    for (std::size_t i = 2; i <= extra; ++i) {
        if ((at(pos + i) & 0xC0) != 0x80)
            return 0;
    }
    return extra + 1;
}

struct Shape {
    bool nul = false;
    bool utf8 = true;
    bool onlyCrLf = true; // every CR before an LF and every LF after a CR; known only for UTF-8
};

// All that decoding needs to know of the bytes, in one pass.
Shape shapeOf(std::string_view bytes)
{
    Shape shape;
    std::size_t pos = 0;
    while ((pos = plainAsciiEnd(bytes, pos)) < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[pos]);
        if (b >= 0x80) {
            const std::size_t length = utf8SequenceAt(bytes, pos);
            if (length == 0) {
                shape.utf8 = false;
                shape.nul = std::memchr(bytes.data() + pos, '\0', bytes.size() - pos);
                return shape;
            }
            pos += length;
            continue;
        }
        if (b == '\0') {
            shape.nul = true;
            return shape;
        }
        if (b == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n')
            ++pos;
        else if (b == '\r' || b == '\n')
            shape.onlyCrLf = false;
        ++pos;
    }
    return shape;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
}

// Bytes that end a run a scan copies or skips as it is, one table per scan.
using ByteSet = std::array<bool, 256>;

constexpr ByteSet byteSet(std::string_view members, bool withHighHalf = false)
{
    ByteSet set{};
    for (const char c : members)
        set[static_cast<unsigned char>(c)] = true;
    for (std::size_t b = 0x80; withHighHalf && b < set.size(); ++b)
        set[b] = true;
    return set;
}

std::size_t runEnd(std::string_view text, std::size_t pos, const ByteSet& stops)
{
    while (pos < text.size() && !stops[static_cast<unsigned char>(text[pos])])
        ++pos;
    return pos;
}

constexpr ByteSet utf8Stops = byteSet("\r\n"), windows1252Stops = byteSet("\r\n", true);

// Copies text, or its Windows-1252 reading, with every line break as CR LF.
DecodedText decodeLines(std::string_view bytes, bool windows1252)
{
    DecodedText decoded;
    std::string& out = decoded.text;
    out.reserve(bytes.size() + bytes.size() / 16);
    const ByteSet& stops = windows1252 ? windows1252Stops : utf8Stops;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t run = runEnd(bytes, pos, stops);
        out.append(bytes, pos, run - pos);
        if (run == bytes.size())
            break;
        const unsigned char b = static_cast<unsigned char>(bytes[run]);
        pos = run + 1;
        if (b == '\r' || b == '\n') {
            if (b == '\r' && pos < bytes.size() && bytes[pos] == '\n')
                ++pos;
            out += crlf;
        } else if (b < 0xA0 && cp1252High[b - 0x80] == 0) {
            out += replacement;
            ++decoded.undefinedBytes;
        } else {
            appendUtf8(out, b < 0xA0 ? cp1252High[b - 0x80] : b);
        }
    }
    return decoded;
}

// ---- Cutting the text into rules ----------------------------------------------------

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n';
}

bool commentAt(std::string_view text, std::size_t pos)
{
    return text.compare(pos, 2, "/*") == 0;
}

// An unterminated comment runs to the end of the text.
std::size_t afterComment(std::string_view text, std::size_t pos)
{
    const std::size_t end = text.find("*/", pos + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
}

// A string ends at its quote, or before a line break where the quote is missing, as a CSS
// reader ends it; an escaped line break continues it.
std::size_t afterString(std::string_view text, std::size_t pos)
{
    const char quote = text[pos++];
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == quote)
            return pos + 1;
        if (c == '\r')
            return pos;
        pos += c == '\\' ? (text.compare(pos + 1, 2, crlf) == 0 ? 3 : 2) : 1;
    }
    return text.size();
}

// A backslash outside a string escapes the next character, but never a line break.
std::size_t afterEscape(std::string_view text, std::size_t pos)
{
    return pos + 1 < text.size() && text[pos + 1] != '\r' ? pos + 2 : pos + 1;
}

// Steps over a string, comment or escape starting at pos, or over one character.
std::size_t afterToken(std::string_view text, std::size_t pos)
{
    switch (text[pos]) {
    case '"':
    case '\'':
        return afterString(text, pos);
    case '\\':
        return afterEscape(text, pos);
    case '/':
        return commentAt(text, pos) ? afterComment(text, pos) : pos + 1;
    default:
        return pos + 1;
    }
}

// What a rule's text holds besides these passes in one run of the scan.
constexpr ByteSet tokenStarts = byteSet("{};\"'\\/");

// After the brace that matches the one at pos, or npos where none does.
std::size_t afterBlock(std::string_view text, std::size_t pos)
{
    std::size_t depth = 0;
    while ((pos = runEnd(text, pos, tokenStarts)) < text.size()) {
        const char c = text[pos];
        if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return pos + 1;
        }
        pos = afterToken(text, pos);
    }
    return std::string_view::npos;
}

std::size_t afterTrivia(std::string_view text, std::size_t pos)
{
    while (pos < text.size()) {
        if (isSpace(text[pos]))
            ++pos;
        else if (commentAt(text, pos))
            pos = afterComment(text, pos);
        else
            break;
    }
    return pos;
}

struct Item {
    std::size_t end;
    std::optional<std::string_view> selector; // only for a rule or an at-rule with a block
};

// The rule, statement or stray text that starts at pos. A stray closing brace ends the
// text before it, and a semicolon ends an at-rule without a block; any other text runs up
// to the next block and is read with it, as a browser reads it.
Item itemAt(std::string_view text, std::size_t start)
{
    const bool atRule = text[start] == '@';
    std::size_t pos = start;
    while ((pos = runEnd(text, pos, tokenStarts)) < text.size()) {
        const char c = text[pos];
        if (c == '{') {
            const std::size_t end = afterBlock(text, pos);
            if (end == std::string_view::npos)
                return {text.size(), std::nullopt};
            std::string_view selector = text.substr(start, pos - start);
            while (!selector.empty() && isSpace(selector.back()))
                selector.remove_suffix(1);
            return {end, selector};
        }
        if (c == '}' || (c == ';' && atRule))
            return {pos + 1, std::nullopt};
        pos = afterToken(text, pos);
    }
    return {text.size(), std::nullopt};
}

// An item keeps the spaces and comments after it and its line break when nothing else
// follows on its line.
std::size_t pieceEnd(std::string_view text, std::size_t itemEnd)
{
    std::size_t pos = itemEnd;
    while (pos < text.size() && text[pos] != '\r' && (isSpace(text[pos]) || commentAt(text, pos)))
        pos = isSpace(text[pos]) ? pos + 1 : afterComment(text, pos);
    if (pos == text.size())
        return pos;
    return text.compare(pos, 2, crlf) == 0 ? pos + 2 : itemEnd;
}

bool onlyLineBreaks(std::string_view text)
{
    return text.find_first_not_of(crlf) == std::string_view::npos;
}

std::size_t indexOf(Section section)
{
    return static_cast<std::size_t>(section);
}

} // namespace

DecodedText decodeStylesheet(std::string_view bytes)
{
    return decodeStylesheet(std::string(bytes));
}

DecodedText decodeStylesheet(std::string&& bytes)
{
    const Shape shape = shapeOf(bytes);
    if (shape.nul)
        return {false, {}, 0, "holds NUL bytes, so it is no stylesheet"};
    if (!shape.utf8)
        return decodeLines(bytes, true);
    if (bytes.starts_with(byteOrderMark))
        bytes.erase(0, byteOrderMark.size());
    // As Save writes line breaks: the bytes are the text.
    if (shape.onlyCrLf)
        return {true, std::move(bytes), 0, {}};
    return decodeLines(bytes, false);
}

SectionTexts splitIntoSections(std::string_view text)
{
    // Save ends the file with one CR LF more than its text, and every section with one more
    // than its own: the last one's is the empty line at the end.
    if (text.ends_with(crlf))
        text.remove_suffix(crlf.size());
    if (text.ends_with("\r\n\r\n"))
        text.remove_suffix(crlf.size());

    SectionTexts sections;
    std::optional<Section> previous;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = afterTrivia(text, pos);
        std::size_t end = text.size();
        Section section = Section::Blank;
        if (start == text.size() && onlyLineBreaks(text.substr(pos))) {
            // Empty lines at the end stay with the section before them.
            section = previous.value_or(Section::Blank);
        } else if (start < text.size()) {
            const Item item = itemAt(text, start);
            end = pieceEnd(text, item.end);
            if (item.selector)
                section = sectionForSelector(*item.selector);
        }
        std::string_view piece = text.substr(pos, end - pos);
        const bool atLineStart = pos == 0 || text.substr(0, pos).ends_with(crlf);
        std::string& into = sections[indexOf(section)];
        if (previous && *previous != section) {
            // The empty line Save puts between two sections.
            if (atLineStart && piece.starts_with(crlf))
                piece.remove_prefix(crlf.size());
            // A rule that shared its line with one of another section starts a line here.
            if (!into.empty() && !into.ends_with(crlf))
                into += crlf;
        }
        into += piece;
        previous = section;
        pos = end;
    }
    for (std::string& section : sections) {
        if (!section.empty() && !section.ends_with(crlf))
            section += crlf;
    }
    return sections;
}

} // namespace rulecraft
