#include "stylesheet.h"

namespace rulecraft {

namespace {

constexpr std::array<std::string_view, 5> fontSubProperties{"-style", "-variant", "-weight",
                                                            "-size", "-family"};
constexpr std::array<std::string_view, 4> textSubProperties{"-align", "-decoration", "-indent",
                                                            "-transform"};
constexpr std::array<std::string_view, 4> paddingSubProperties{"-bottom", "-left", "-right",
                                                               "-top"};
constexpr std::array<std::string_view, 7> borderSubProperties{
    "-width", "-style", "-color", "-bottom", "-left", "-right", "-top"};
constexpr std::array<std::string_view, 4> marginSubProperties{"-bottom", "-top", "-left", "-right"};
constexpr std::array<std::string_view, 5> backgroundSubProperties{"-color", "-attachment", "-image",
                                                                  "-position", "-repeat"};

constexpr std::array<GroupInfo, 7> groups{{
    {PropertyGroup::Font, "Font", "font", fontSubProperties},
    {PropertyGroup::Text, "Text", "text", textSubProperties},
    {PropertyGroup::Padding, "Padding", "padding", paddingSubProperties},
    {PropertyGroup::Border, "Border", "border", borderSubProperties},
    {PropertyGroup::Margin, "Margin", "margin", marginSubProperties},
    {PropertyGroup::Background, "Background", "background", backgroundSubProperties},
    {PropertyGroup::Color, "Color", "color:", {}},
}};

} // namespace

std::span<const GroupInfo> propertyGroups()
{
    return groups;
}

const GroupInfo& groupInfo(PropertyGroup group)
{
    return groups[static_cast<std::size_t>(group)];
}

std::string declarationText(PropertyGroup group, std::string_view subProperty,
                            std::string_view value)
{
    const GroupInfo& info = groupInfo(group);
    std::string text(info.stem);
    // The colour stem carries its own colon and no blank follows it.
    if (group != PropertyGroup::Color) {
        text += subProperty;
        text += ": ";
    }
    text += value;
    text += "; ";
    return text;
}

} // namespace rulecraft
