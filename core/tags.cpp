// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"
#include "core/text.h"

namespace rulecraft {

std::string headingKey(std::string_view size)
{
    return joined({"h", size});
}

Section sectionForKey(std::string_view key)
{
    if (const CatalogueTag* tag = catalogueTag(key))
        return tag->section;
    for (std::string_view size : headingSizes) {
        if (key == headingKey(size))
            return Section::H;
    }
    return Section::Blank;
}

std::string selectorOf(std::string_view key)
{
    const CatalogueTag* tag = catalogueTag(key);
    return std::string(tag ? tag->selector : key);
}

std::string tagForSelector(std::string_view selector)
{
    for (const CatalogueTag& tag : tagCatalogue) {
        if (tag.selector == selector)
            return std::string(tag.key);
    }
    return std::string(selector);
}

Section sectionForSelector(std::string_view selector)
{
    const std::string key = tagForSelector(selector);
    return selectorOf(key) == selector ? sectionForKey(key) : Section::Blank;
}

std::string openerFor(std::string_view selector)
{
    return joined({selector, " { "});
}

std::string editorHeading(std::string_view editKey)
{
    return joined({"Editing Tag for: ", editKey, " Selector"});
}

std::string editorTitle(std::string_view editKey)
{
    return joined({editKey, " { PROPERTY : VALUE }"});
}

} // namespace rulecraft
