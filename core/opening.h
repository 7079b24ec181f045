// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Open is Save read backwards: the file's bytes become text (decodeStylesheet), the text is
// cut into rules and each rule goes to the section its selector routes to
// (splitIntoSections). Whatever is not a rule of one of the fixed tags goes to the custom
// section, so that nothing of the file is lost on the way in.

#include "core/stylesheet.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace rulecraft {

struct DecodedText {
    bool ok = true;
    std::string text; // UTF-8, every line break CR LF
    // Windows-1252 bytes the code page leaves undefined, each now U+FFFD.
    std::size_t undefinedBytes = 0;
    std::string reason; // for the user, when not ok
};

// Valid UTF-8 is taken as it is, without its byte order mark; anything else is read as
// Windows-1252, the code page Save writes. CR LF, LF and CR alone all become CR LF. Bytes
// with a NUL among them are no stylesheet and are refused.
DecodedText decodeStylesheet(std::string_view bytes);
// The same, keeping the bytes' own memory where they need no change.
DecodedText decodeStylesheet(std::string&& bytes);

using SectionTexts = std::array<std::string, sectionCount>;

// A rule is its selector to the matching closing brace, over any number of lines; braces in
// strings, comments and escapes do not count. Blank lines and comments before a rule, and
// spaces and comments after it up to the end of its line, go with it. Selector lists,
// at-rules with their block, statements such as @import and any text that is no rule go to
// the custom section. Within a section the file's order is kept, and every character but a
// line break lands in exactly one section.
//
// What Save wrote comes back as the same sections when each non-empty section holds nothing
// but rules (with the blank lines and comments before them) whose selectors route to it,
// every line of it ends in CR LF, its last line is no empty line, and its characters are
// Windows-1252's, no NUL among them, and do not happen to spell UTF-8 as bytes ("Ã©" is
// read as "é"). The empty line Save puts after each section is its separator: one empty line
// before a rule that follows a rule of another section, and one at the end, are dropped.
// Empty lines at the end of a section therefore come back at the start of the next one,
// which Save writes as the same bytes; a section that does not end in a line break gets
// one.
SectionTexts splitIntoSections(std::string_view text);

struct OpenResult {
    bool ok = true;
    std::string reason; // for the user, naming the file, when not ok
    SectionTexts sections;
    std::size_t undefinedBytes = 0;
};

// Reads a regular file in one pass and splits it; a folder, FIFO, device or socket, a file
// that changes while it is read, or one too large for memory is refused with a reason.
OpenResult openStylesheet(const std::string& path);

} // namespace rulecraft
