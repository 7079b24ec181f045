// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/preview.h"

#include "core/stylesheet.h"
#include "windows/commondialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <array>
#include <optional>
#include <set>

namespace rulecraft::windows {

namespace {

// Soon enough to feel live, late enough that typing does not write on every key.
constexpr int rewriteDelayMs = 250;

constexpr std::string_view pageStart = R"(<!DOCTYPE html>
<html>
<head>
<meta charset="windows-1252">
<title>Rulecraft preview</title>
<link id="sheet" rel="stylesheet" href="style.css">
</head>
<body>
<h1>Heading one</h1>
<p>This is body text. It shows the font, colour, margins and background that the
stylesheet gives the body of a page. A second sentence makes the paragraph long enough to
wrap on a narrow window.</p>
<p>A second paragraph, so that the space between paragraphs shows too.</p>
<h2>Heading two: links</h2>
<p><a>An anchor without an address</a> is styled by the rule for a alone.
<a href="#unvisited">A link you have not visited</a> is styled by a and a:link;
<a href="index.html">a link to this page</a> is one you have visited (a:visited).
Hover over any link to see a:hover.</p>
<h3>Heading three: a table</h3>
<table>
<tr><th>Colour</th><th>Notation</th><th>Use</th></tr>
<tr><td>Black</td><td>#000000</td><td>body text</td></tr>
<tr><td>Blue</td><td>#0000FF</td><td>links</td></tr>
<tr><td>Red</td><td>#FF0000</td><td>links under the pointer</td></tr>
</table>
<p>Above the next heading is a horizontal rule.</p>
<hr>
<h4>Heading four</h4>
<h5>Heading five</h5>
<h6>Heading six</h6>
)";

// Re-links the stylesheet about once a second, the new link before the old one goes, so
// that the page picks up a rewritten stylesheet without a reload and without flicker.
constexpr std::string_view pageEnd = R"(<script>
setInterval(function () {
  var old = document.getElementById("sheet");
  var next = old.cloneNode();
  next.href = "style.css?" + Date.now();
  next.onload = function () { old.remove(); };
  next.onerror = function () { next.remove(); };
  old.after(next);
  old.id = "";
  next.id = "sheet";
}, 1000);
</script>
</body>
</html>)";

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

// The sample page's part for the custom section: an element for each of its first
// distinct selectors that can have one, a list of those that cannot, and a count of the
// rules beyond.
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

// The sample page for a stylesheet whose custom section holds customSection.
std::string previewPage(std::string_view customSection)
{
    std::string page(pageStart);
    page += customSamples(customSection).toStdString();
    page += pageEnd;
    return page;
}

} // namespace

Preview::Preview(QObject* parent, const SectionSet& sections, CommonDialog& messages)
    : QObject(parent), sections_(sections), messages_(messages),
      browser_([](const QUrl& page) { return QDesktopServices::openUrl(page); })
{
    rewrite_.setSingleShot(true);
    rewrite_.setInterval(rewriteDelayMs);
    connect(&rewrite_, &QTimer::timeout, this, &Preview::write);
}

Preview::~Preview() = default;

QString Preview::folder() const
{
    return folder_ ? folder_->path() : QString();
}

void Preview::open()
{
    if (!folder_) {
        folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/rulecraft-preview-XXXXXX"));
        if (!folder_->isValid()) {
            messages_.warn(nullptr,
                           tr("The preview cannot be made: %1").arg(folder_->errorString()));
            folder_.reset();
            return;
        }
    }
    write();
    const QString page = QDir(folder_->path()).filePath(QStringLiteral("index.html"));
    if (!browser_(QUrl::fromLocalFile(page)))
        messages_.warn(nullptr, tr("No web browser could be opened. Open the preview by hand:\n%1")
                                    .arg(QDir::toNativeSeparators(page)));
}

void Preview::sectionsChanged()
{
    if (folder_)
        rewrite_.start();
}

void Preview::close()
{
    rewrite_.stop();
    folder_.reset();
}

void Preview::write()
{
    if (!folder_)
        return;
    const QDir folder(folder_->path());
    const auto path = [&](const char* name) {
        return QFile::encodeName(folder.filePath(QLatin1String(name))).toStdString();
    };
    assembleStylesheet(sections_, stylesheet_);
    WriteResult written = writeStylesheet(path("style.css"), stylesheet_);
    if (written.ok)
        written = writeStylesheet(path("index.html"), previewPage(sections_.text(Section::Blank)));
    if (!written.ok)
        messages_.warn(
            nullptr,
            tr("The preview was not updated.\n\n%1").arg(QString::fromStdString(written.reason)));
}

} // namespace rulecraft::windows
