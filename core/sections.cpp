#include "stylesheet.h"

namespace rulecraft {

namespace {

struct Route {
    std::string_view key;
    Section section;
};

// Checked in this order; any other key goes to the custom section.
constexpr std::array<Route, 15> routes{{
    {"body", Section::Body},
    {"a", Section::A},
    {"alink", Section::A},
    {"avisited", Section::A},
    {"ahover", Section::A},
    {"table", Section::Table},
    {"tr", Section::Table},
    {"td", Section::Table},
    {"hr", Section::HR},
    {"h1", Section::H},
    {"h2", Section::H},
    {"h3", Section::H},
    {"h4", Section::H},
    {"h5", Section::H},
    {"h6", Section::H},
}};

std::size_t indexOf(Section section)
{
    return static_cast<std::size_t>(section);
}

} // namespace

Section sectionForKey(std::string_view key)
{
    for (const Route& route : routes) {
        if (route.key == key)
            return route.section;
    }
    return Section::Blank;
}

SectionTexts SectionSet::texts() const
{
    SectionTexts result;
    for (Section section : sectionsInOrder)
        result[indexOf(section)] = text(section);
    return result;
}

std::string MemorySectionSet::text(Section section) const
{
    return sections_[indexOf(section)];
}

void MemorySectionSet::replace(Section section, std::string_view text)
{
    sections_[indexOf(section)] = text;
}

void MemorySectionSet::append(Section section, std::string_view text)
{
    sections_[indexOf(section)] += text;
}

void storeSelection(const std::string& key, const std::string& declarations, SectionSet& sections)
{
    modVar.LastRule = modVar.EditOpen + declarations + modVar.EditClose;
    const Section section = sectionForKey(key);
    if (section == Section::Body)
        sections.replace(section, modVar.LastRule);
    else
        sections.append(section, modVar.LastRule);
}

} // namespace rulecraft
