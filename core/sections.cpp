// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"
#include "core/text.h"

namespace rulecraft {

namespace {

std::size_t indexOf(Section section)
{
    return static_cast<std::size_t>(section);
}

} // namespace

std::string ruleText(std::string_view opener, std::string_view declarations,
                     std::string_view closer)
{
    return joined({opener, declarations, closer});
}

std::string SectionSet::text(Section section) const
{
    std::string result;
    appendTextTo(section, result);
    return result;
}

MemorySectionSet::MemorySectionSet(const SectionSet& from)
{
    for (Section section : sectionsInOrder)
        from.appendTextTo(section, sections_[indexOf(section)]);
}

void MemorySectionSet::appendTextTo(Section section, std::string& out) const
{
    out += sections_[indexOf(section)];
}

void MemorySectionSet::replace(Section section, std::string_view text)
{
    sections_[indexOf(section)] = text;
}

void MemorySectionSet::append(Section section, std::string_view text)
{
    sections_[indexOf(section)] += text;
}

void fileRule(SectionSet& sections, std::string_view key, std::string_view rule)
{
    const Section section = sectionForKey(key);
    if (section == Section::Body)
        sections.replace(section, rule);
    else
        sections.append(section, rule);
}

void assembleStylesheet(const SectionSet& sections, std::string& stylesheet)
{
    stylesheet.clear();
    for (Section section : sectionsInOrder) {
        const std::size_t before = stylesheet.size();
        sections.appendTextTo(section, stylesheet);
        // A section of blanks counts: only the empty text is left out.
        if (stylesheet.size() != before)
            stylesheet += crlf;
    }
}

std::string savedTitle(std::string_view appVersion, std::string_view date)
{
    return joined({"Rulecraft ", appVersion, " :: File saved on ", date});
}

} // namespace rulecraft
