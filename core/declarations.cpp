// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"

namespace rulecraft {

namespace {

constexpr auto fontSubProperties =
    std::to_array<std::string_view>({"-style", "-variant", "-weight", "-size", "-family"});
constexpr auto textSubProperties =
    std::to_array<std::string_view>({"-align", "-decoration", "-indent", "-transform"});
constexpr auto paddingSubProperties =
    std::to_array<std::string_view>({"-bottom", "-left", "-right", "-top"});
constexpr auto borderSubProperties = std::to_array<std::string_view>(
    {"-width", "-style", "-color", "-bottom", "-left", "-right", "-top"});
constexpr auto marginSubProperties =
    std::to_array<std::string_view>({"-bottom", "-top", "-left", "-right"});
constexpr auto backgroundSubProperties =
    std::to_array<std::string_view>({"-color", "-attachment", "-image", "-position", "-repeat"});

constexpr auto groups = std::to_array<GroupInfo>({
    {PropertyGroup::Font, "Font", "font", fontSubProperties},
    {PropertyGroup::Text, "Text", "text", textSubProperties},
    {PropertyGroup::Padding, "Padding", "padding", paddingSubProperties},
    {PropertyGroup::Border, "Border", "border", borderSubProperties},
    {PropertyGroup::Margin, "Margin", "margin", marginSubProperties},
    {PropertyGroup::Background, "Background", "background", backgroundSubProperties},
    {PropertyGroup::Color, "Color", "color:", {}},
});
static_assert(groups.size() == 7);
// groupInfo finds a group by its place in the table.
static_assert([] {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].group != static_cast<PropertyGroup>(i))
            return false;
    }
    return true;
}());

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
    std::string text(info.cssStem);
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
