// Tags, declarations and routing: the exact rule shape and the section it is filed in.
#include "stylesheet.h"

#include <cstdlib>
#include <map>
#include <string>

using namespace rulecraft;

namespace {

// Written out again here, independently of the core's table.
Section expectedSection(const std::string& key)
{
    static const std::map<std::string, Section> keys{
        {"body", Section::Body},  {"a", Section::A},      {"alink", Section::A},
        {"avisited", Section::A}, {"ahover", Section::A}, {"table", Section::Table},
        {"tr", Section::Table},   {"td", Section::Table}, {"hr", Section::HR},
        {"h1", Section::H},       {"h2", Section::H},     {"h3", Section::H},
        {"h4", Section::H},       {"h5", Section::H},     {"h6", Section::H}};
    const auto found = keys.find(key);
    return found == keys.end() ? Section::Blank : found->second;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: the property group and how the rest splits into key, sub-property, value.
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto group = static_cast<PropertyGroup>(data[0] % 7);
    const std::size_t cut1 = rest.size() * ((data[0] >> 3) & 3) / 4;
    const std::size_t cut2 = cut1 + (rest.size() - cut1) / 2;
    const std::string key = rest.substr(0, cut1);
    const std::string sub = rest.substr(cut1, cut2 - cut1);
    const std::string value = rest.substr(cut2);

    const std::string declaration = declarationText(group, sub, value);
    const std::string expected =
        group == PropertyGroup::Color
            ? "color:" + value + "; "
            : std::string(groupInfo(group).stem) + sub + ": " + value + "; ";
    if (declaration != expected)
        std::abort();

    modVar = {};
    MemorySectionSet sections;
    sections.replace(Section::Body, "old body");
    sections.replace(Section::A, "old a");
    chooseCustomTag(key);
    captureEditTag();
    storeSelection(modVar.EditKey, declaration, sections);

    if (modVar.LastRule != key + " { " + declaration + " }\r\n")
        std::abort();
    const Section section = expectedSection(key);
    if (sectionForKey(key) != section)
        std::abort();
    for (Section s : sectionsInOrder) {
        const std::string before = s == Section::Body ? "old body" : s == Section::A ? "old a" : "";
        const std::string after = s != section               ? before
                                  : section == Section::Body ? modVar.LastRule
                                                             : before + modVar.LastRule;
        if (sections.text(s) != after)
            std::abort();
    }
    return 0;
}
