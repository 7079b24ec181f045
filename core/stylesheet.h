// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the text of a stylesheet comes together.
//
// A *tag* is chosen first: from the fixed catalogue, as a heading of some size, or as a
// custom selector. A tag is a short routing key ("ahover") and the texts that open and
// close its rule ("a:hover { " and " }" CR LF). The windows keep the current tag in modVar.
//
// The rule editor captures the current tag when it opens and collects *declarations* into
// a holder text, one declarationText per Add button ("font-size: 12px; ").
//
// Committing wraps the holder in the captured opener and closer to form a *rule*
// (ruleText), one line ending in CR LF, and files it by its key into one of six *sections*
// (fileRule): the body section is replaced, every other section grows at its end. The
// sections are the whole document; the windows keep them in their text boxes, so they are
// reached through the SectionSet interface.
//
// Saving joins the non-empty sections in their fixed order into the *stylesheet*
// (assembleStylesheet) and writes it as 8-bit Windows-1252 text plus CR LF
// (writeStylesheet), replacing any earlier file in one step wherever a new file can take its
// place, and writing it in place where none can.
//
// Every operation here is pure but pathProblem, which looks at the file system, and the
// writer, which changes only the file it is given and, while it works, a new file beside it;
// both are in stylesheet_file.cpp, the one unit that uses POSIX.
// Opening reads a file back into the six sections (opening.h), the reading itself in
// stylesheet_open.cpp.
// Every text is UTF-8 and every line break is CR LF.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace rulecraft {

inline constexpr std::string_view crlf = "\r\n";

// ---- Tags ----------------------------------------------------------------------------

// In the order of assembly.
enum class Section { Body, A, Table, HR, H, Blank };
inline constexpr auto sectionsInOrder = std::to_array<Section>(
    {Section::Body, Section::A, Section::Table, Section::HR, Section::H, Section::Blank});
inline constexpr std::size_t sectionCount = sectionsInOrder.size();
static_assert(sectionCount == 6);

inline constexpr std::string_view tagCloser = " }\r\n";

// One record per tag of the catalogue: the key it is routed by, the selector its rule is
// written for, and the section that rule is filed in.
struct CatalogueTag {
    std::string_view key;
    std::string_view selector;
    Section section;
};

inline constexpr auto tagCatalogue = std::to_array<CatalogueTag>({
    {"body", "body", Section::Body},
    {"a", "a", Section::A},
    {"alink", "a:link", Section::A},
    {"avisited", "a:visited", Section::A},
    {"ahover", "a:hover", Section::A},
    {"table", "table", Section::Table},
    {"tr", "tr", Section::Table},
    {"td", "td", Section::Table},
    {"hr", "hr", Section::HR},
});
static_assert(tagCatalogue.size() == 9);

// The catalogue's entry for a key, or none.
constexpr const CatalogueTag* catalogueTag(std::string_view key)
{
    for (const CatalogueTag& tag : tagCatalogue) {
        if (tag.key == key)
            return &tag;
    }
    return nullptr;
}

// A heading's key and selector are both "h" and the size; it is filed with the headings.
inline constexpr auto headingSizes =
    std::to_array<std::string_view>({"1", "2", "3", "4", "5", "6"});

// "h" followed by the size exactly as given.
std::string headingKey(std::string_view size);

// Routing, from the catalogue and the heading sizes; any other key is a custom selector,
// filed in the custom section.
Section sectionForKey(std::string_view key);
// The selector a key's rule is written for: a custom key is its own selector.
std::string selectorOf(std::string_view key);
// The key a selector is chosen by, the way back from selectorOf.
std::string tagForSelector(std::string_view selector);
// The section a rule for this selector is filed in when a file is opened: its tag's, where the
// way back leads to a tag; a custom selector that spells a key ("alink") is filed as custom.
Section sectionForSelector(std::string_view selector);
// A selector followed by " { ".
std::string openerFor(std::string_view selector);

std::string editorHeading(std::string_view editKey);
std::string editorTitle(std::string_view editKey);

// ---- Declarations --------------------------------------------------------------------

enum class PropertyGroup { Font, Text, Padding, Border, Margin, Background, Color };

struct GroupInfo {
    PropertyGroup group;
    std::string_view labelStem; // "Font": the row's label and the stem of its control names
    std::string_view cssStem;   // "font": what its declarations start with
    std::span<const std::string_view> subProperties; // empty for Color
};

// In the order the editor shows them from top to bottom.
std::span<const GroupInfo> propertyGroups();
const GroupInfo& groupInfo(PropertyGroup group);

std::string declarationText(PropertyGroup group, std::string_view subProperty,
                            std::string_view value);

// ---- Rules and sections --------------------------------------------------------------

std::string ruleText(std::string_view opener, std::string_view declarations,
                     std::string_view closer);

// The six section texts. The main window implements it over its text boxes, so that the
// boxes stay the one place the document lives.
class SectionSet {
public:
    virtual ~SectionSet() = default;
    // Adds the section's text at the end of out, without a copy of its own.
    virtual void appendTextTo(Section section, std::string& out) const = 0;
    virtual void replace(Section section, std::string_view text) = 0;
    // Adds at the end without rewriting what the section holds.
    virtual void append(Section section, std::string_view text) = 0;

    std::string text(Section section) const;
};

class MemorySectionSet final : public SectionSet {
public:
    MemorySectionSet() = default;
    // A copy of another set's texts, to change without touching them.
    explicit MemorySectionSet(const SectionSet& from);

    void appendTextTo(Section section, std::string& out) const override;
    void replace(Section section, std::string_view text) override;
    void append(Section section, std::string_view text) override;

private:
    std::array<std::string, sectionCount> sections_;
};

// Files a rule by its key: the body section is replaced, every other one grows.
void fileRule(SectionSet& sections, std::string_view key, std::string_view rule);

// A rule that the editor holds but has not committed: what it would file, by which key,
// and the selector it is for.
struct PendingRule {
    std::string key;
    std::string selector;
    std::string rule;
};

// ---- Stylesheet and file -------------------------------------------------------------

// The non-empty sections in their fixed order, each followed by CR LF. Fills stylesheet,
// reusing its memory, so that a large stylesheet is built in one pass.
void assembleStylesheet(const SectionSet& sections, std::string& stylesheet);

// UTF-8 to Windows-1252: one byte per character, "?" for a character it lacks.
std::string toWindows1252(std::string_view utf8);
// The same added at the end of bytes, so that a writer converts piece by piece into one buffer.
void appendWindows1252(std::string& bytes, std::string_view utf8);
// The bytes of the file that Save writes for a stylesheet text: Windows-1252, then CR LF,
// handed to take a piece at a time, so that a large stylesheet is never copied whole once
// more. Stops with false as soon as take does.
bool forEachFilePiece(std::string_view text, const std::function<bool(std::string_view)>& take);

// Why a file cannot be made at a path, before anything is written.
enum class PathProblem { None, TooLong, FolderMissing, NotAFolder };
PathProblem pathProblem(const std::string& path);
// The problem said for the user, as a sentence; empty for None.
std::string_view pathProblemText(PathProblem problem);

struct WriteResult {
    bool ok = true;
    std::string reason; // for the user, when not ok
};

// Writes text + CR LF, in Windows-1252, to path. An existing file is replaced in one
// step or left exactly as it was; where no new file can keep everything the old one had
// (owner, group, mode, ACL, attributes, further links), or the folder refuses a new file or
// the rename, it is written in place, with its old bytes kept in a copy until the new ones
// are synced. A failure's reason says what became of an earlier file. A link in a shared
// sticky folder is followed only where the kernel would follow it.
WriteResult writeStylesheet(const std::string& path, std::string_view text);

std::string savedTitle(std::string_view appVersion, std::string_view date);

// ---- Colour --------------------------------------------------------------------------

// Red in the lowest byte, then green, then blue; bits above 23 are ignored.
std::string colourToHex(std::uint32_t colour);

} // namespace rulecraft
