// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/samplepage.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>

namespace rulecraft::windows {

namespace {

// Ordinary elements that show a label of their own, with what a table part needs around it
// to stay in the page. A list of what may be shown, never of what may not: no list of
// elements to avoid is ever complete.
struct SampleElement {
    const char* name;
    const char* before;
    const char* after;
};
constexpr auto sampleElements = std::to_array<SampleElement>({
    {"a", "", ""},          {"abbr", "", ""},        {"address", "", ""},
    {"article", "", ""},    {"aside", "", ""},       {"b", "", ""},
    {"blockquote", "", ""}, {"cite", "", ""},        {"code", "", ""},
    {"dd", "", ""},         {"div", "", ""},         {"dl", "", ""},
    {"dt", "", ""},         {"em", "", ""},          {"figcaption", "", ""},
    {"figure", "", ""},     {"footer", "", ""},      {"h1", "", ""},
    {"h2", "", ""},         {"h3", "", ""},          {"h4", "", ""},
    {"h5", "", ""},         {"h6", "", ""},          {"header", "", ""},
    {"i", "", ""},          {"kbd", "", ""},         {"label", "", ""},
    {"li", "<ul>", "</ul>"}, {"main", "", ""},       {"mark", "", ""},
    {"nav", "", ""},        {"ol", "", ""},          {"p", "", ""},
    {"pre", "", ""},        {"q", "", ""},           {"s", "", ""},
    {"samp", "", ""},       {"section", "", ""},     {"small", "", ""},
    {"span", "", ""},       {"strong", "", ""},      {"sub", "", ""},
    {"sup", "", ""},        {"table", "", ""},       {"td", "<table><tr>", "</tr></table>"},
    {"th", "<table><tr>", "</tr></table>"},          {"tr", "<table>", "</table>"},
    {"u", "", ""},          {"ul", "", ""},          {"var", "", ""},
});

// The page stays small whatever the custom section holds.
constexpr std::size_t mostSelectorsShown = 100;

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// One element that a simple selector matches (a tag name, with one class or one id at
// most), labelled with the selector; nothing for any other selector.
std::optional<QString> sampleFor(std::string_view selector)
{
    std::size_t nameEnd = 0;
    while (nameEnd < selector.size() && isNameCharacter(selector[nameEnd]))
        ++nameEnd;
    QString tag = QString::fromLatin1(selector.substr(0, nameEnd)).toLower();
    const auto element = std::find_if(sampleElements.begin(), sampleElements.end(),
                                      [&](const SampleElement& e) { return tag == e.name; });
    if (element == sampleElements.end())
        return std::nullopt;
    QString attribute;
    if (nameEnd < selector.size()) {
        const std::string_view name = selector.substr(nameEnd + 1);
        const char mark = selector[nameEnd];
        if ((mark != '.' && mark != '#') || name.empty() || !isAsciiLetter(name.front()) ||
            !std::all_of(name.begin(), name.end(), isNameCharacter))
            return std::nullopt;
        attribute = QLatin1String(mark == '.' ? " class=\"" : " id=\"") +
                    QString::fromLatin1(name) + QLatin1Char('"');
    }
    return QStringLiteral("%1<%2%3>%4</%2>%5\n")
        .arg(QLatin1String(element->before), tag, attribute,
             QString::fromLatin1(selector), QLatin1String(element->after));
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

QString customSamples(std::string_view customSection)
{
    QString shown, notShown;
    std::set<std::string_view> seen;
    std::size_t beyond = 0;
    for (std::size_t start = 0; start < customSection.size();) {
        const std::size_t end = std::min(customSection.find('\n', start), customSection.size());
        const std::string_view line = customSection.substr(start, end - start);
        start = end + 1;
        const std::size_t brace = line.find('{');
        const std::string_view selector = trimmed(line.substr(0, brace));
        if (brace == std::string_view::npos || selector.empty() || seen.count(selector))
            continue;
        if (seen.size() == mostSelectorsShown) {
            ++beyond;
            continue;
        }
        seen.insert(selector);
        if (const std::optional<QString> element = sampleFor(selector))
            shown += *element;
        else
            notShown += QStringLiteral("<li>%1: not shown</li>\n")
                            .arg(QString::fromUtf8(selector).toHtmlEscaped());
    }
    if (seen.empty())
        return {};
    QString samples = QStringLiteral("<h2>Your custom selectors</h2>\n") + shown;
    if (beyond > 0)
        notShown += QStringLiteral("<li>%1 more rules: not shown</li>\n").arg(beyond);
    if (!notShown.isEmpty())
        samples += QStringLiteral("<ul>\n") + notShown + QStringLiteral("</ul>\n");
    return samples;
}

QByteArray samplePage(const QByteArray& pageTemplate, quint64 sheetVersion, quint64 pageVersion,
                      const QString& samples)
{
    return QByteArray(pageTemplate)
        .replace("@SHEET@", QByteArray::number(sheetVersion))
        .replace("@PAGE@", QByteArray::number(pageVersion))
        .replace("<!--custom selectors-->", samples.toUtf8());
}

} // namespace rulecraft::windows
