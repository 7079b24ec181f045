#pragma once

// How the text of a stylesheet comes together.
//
// A *tag* is chosen first: from the fixed catalogue, as a heading of some size, or as a
// custom selector. Choosing one only sets the current-tag variables in modVar: a short
// routing key (TagKey, e.g. "ahover") and the texts that open and close its rule
// (TagOpen "a:hover { ", TagClose " }" CR LF).
//
// The rule editor captures the current tag when it opens (EditKey, EditOpen, EditClose)
// and collects *declarations* into a holder text, one addDeclaration per Add button
// ("font-size: 12px; ").
//
// Committing (storeSelection) wraps the holder in the captured opener and closer to form
// a *rule*, one line ending in CR LF, and files it by its key into one of six *sections*:
// the body section is replaced, every other section grows at its end. The sections are
// the whole document; the windows keep them in their text boxes, so they are reached
// through the SectionSet interface.
//
// Saving joins the non-empty sections in their fixed order into the *stylesheet*
// (assembleStylesheet) and writes it as 8-bit Windows-1252 text plus CR LF
// (writeStylesheet), replacing any earlier file in one step.
//
// Every text here is UTF-8 and every line break is CR LF.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace rulecraft {

inline constexpr std::string_view crlf = "\r\n";

// ---- Shared state --------------------------------------------------------------------

// The variables through which all windows talk to each other. All empty at start.
struct SharedVariables {
    std::string TagKey;   // key of the tag chosen last
    std::string TagOpen;  // its selector followed by " { "
    std::string TagClose; // " }" CR LF
    // The tag the open rule editor works on, captured when it loaded. The opener and
    // closer are captured with the key so that the rule written always matches the
    // heading the user sees and the section it is filed in.
    std::string EditKey;
    std::string EditOpen;
    std::string EditClose;
    std::string LastRule;   // the rule committed last
    std::string AppVersion; // set when the main window loads
};

extern SharedVariables modVar;

// ---- Tags ----------------------------------------------------------------------------

inline constexpr std::string_view tagCloser = " }\r\n";

struct CatalogueTag {
    std::string_view button; // object name of the main window's button
    std::string_view key;
    std::string_view opener;
};

inline constexpr std::array<CatalogueTag, 9> tagCatalogue{{
    {"cmdBody", "body", "body { "},
    {"cmdA", "a", "a { "},
    {"cmdAlink", "alink", "a:link { "},
    {"cmdAvisited", "avisited", "a:visited { "},
    {"cmdAhover", "ahover", "a:hover { "},
    {"cmdTable", "table", "table { "},
    {"cmdTR", "tr", "tr { "},
    {"cmdTD", "td", "td { "},
    {"cmdHR", "hr", "hr { "},
}};

inline constexpr std::array<std::string_view, 6> headingSizes{"1", "2", "3", "4", "5", "6"};

// Each sets TagKey, TagOpen and TagClose, in that order.
void chooseCatalogueTag(const CatalogueTag& tag);
void chooseHeading(std::string_view size);
void chooseCustomTag(std::string_view name);

// EditKey, EditOpen, EditClose := TagKey, TagOpen, TagClose.
void captureEditTag();

std::string editorHeading(std::string_view editKey);
std::string editorTitle(std::string_view editKey);

// ---- Declarations --------------------------------------------------------------------

enum class PropertyGroup { Font, Text, Padding, Border, Margin, Background, Color };

struct GroupInfo {
    PropertyGroup group;
    std::string_view name; // "Font", also the stem of the row's control names
    std::string_view stem;
    std::span<const std::string_view> subProperties; // empty for Color
};

// In the order the editor shows them from top to bottom.
std::span<const GroupInfo> propertyGroups();
const GroupInfo& groupInfo(PropertyGroup group);

std::string declarationText(PropertyGroup group, std::string_view subProperty,
                            std::string_view value);

// ---- Sections and commit -------------------------------------------------------------

// In the order of assembly.
enum class Section { Body, A, Table, HR, H, Blank };
inline constexpr std::size_t sectionCount = 6;
inline constexpr std::array<Section, sectionCount> sectionsInOrder{
    Section::Body, Section::A, Section::Table, Section::HR, Section::H, Section::Blank};

using SectionTexts = std::array<std::string, sectionCount>;

Section sectionForKey(std::string_view key);

// The six section texts. The main window implements it over its text boxes, so that the
// boxes stay the one place the document lives.
class SectionSet {
public:
    virtual ~SectionSet() = default;
    virtual std::string text(Section section) const = 0;
    virtual void replace(Section section, std::string_view text) = 0;
    // Adds at the end without rewriting what the section holds.
    virtual void append(Section section, std::string_view text) = 0;

    SectionTexts texts() const;
};

class MemorySectionSet final : public SectionSet {
public:
    std::string text(Section section) const override;
    void replace(Section section, std::string_view text) override;
    void append(Section section, std::string_view text) override;

private:
    SectionTexts sections_;
};

// LastRule := EditOpen + declarations + EditClose, filed by key into its section.
void storeSelection(const std::string& key, const std::string& declarations, SectionSet& sections);

// ---- Stylesheet and file -------------------------------------------------------------

std::string assembleStylesheet(const SectionTexts& sections);

// UTF-8 to Windows-1252: one byte per character, "?" for a character it lacks.
std::string toWindows1252(std::string_view utf8);

struct WriteResult {
    bool ok = true;
    std::string reason; // for the user, when not ok
};

// Writes text + CR LF, in Windows-1252, to path. An existing file is replaced in one
// step or left exactly as it was.
WriteResult writeStylesheet(const std::string& path, std::string_view text);

std::string savedTitle(std::string_view appVersion, std::string_view date);

// ---- Colour --------------------------------------------------------------------------

// Red in the lowest byte, then green, then blue; bits above 23 are ignored.
std::string colourToHex(std::uint32_t colour);

} // namespace rulecraft
