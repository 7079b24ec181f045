#include "stylesheet.h"
#include "text.h"

namespace rulecraft {

SharedVariables modVar;

namespace {

void setCurrentTag(std::string_view key, std::string_view opener)
{
    modVar.TagKey = key;
    modVar.TagOpen = opener;
    modVar.TagClose = tagCloser;
}

std::string openerFor(std::string_view selector)
{
    return joined({selector, " { "});
}

} // namespace

void chooseCatalogueTag(const CatalogueTag& tag)
{
    setCurrentTag(tag.key, tag.opener);
}

void chooseHeading(std::string_view size)
{
    const std::string key = joined({"h", size});
    setCurrentTag(key, openerFor(key));
}

void chooseCustomTag(std::string_view name)
{
    setCurrentTag(name, openerFor(name));
}

void captureEditTag()
{
    modVar.EditKey = modVar.TagKey;
    modVar.EditOpen = modVar.TagOpen;
    modVar.EditClose = modVar.TagClose;
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
