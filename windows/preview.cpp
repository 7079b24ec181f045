// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/preview.h"

#include "core/stylesheet.h"
#include "windows/commondialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>
#include <regex>
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

// Elements that cannot show a label of their own, or that would change the page itself.
const std::set<std::string> unshownElements{
    "area",     "base",  "body",     "br",       "col",    "embed",  "frame",
    "frameset", "head",  "hr",       "html",     "iframe", "img",    "input",
    "link",     "meta",  "noscript", "object",   "param",  "script", "select",
    "source",   "style", "template", "textarea", "title",  "track",  "wbr"};

std::string escaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// One element that a simple selector (a tag name, with one class or one id) matches,
// labelled with the selector; nothing for any other selector.
std::optional<std::string> elementFor(const std::string& selector)
{
    static const std::regex simple(
        R"(([A-Za-z][A-Za-z0-9-]*)(?:([.#])([A-Za-z_-][A-Za-z0-9_-]*))?)");
    std::smatch parts;
    if (!std::regex_match(selector, parts, simple))
        return std::nullopt;
    std::string tag = parts[1];
    for (char& c : tag)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (unshownElements.count(tag))
        return std::nullopt;
    std::string attribute;
    if (parts[2].matched)
        attribute = (parts[2] == "." ? " class=\"" : " id=\"") + parts[3].str() + "\"";
    return "<" + tag + attribute + ">" + selector + "</" + tag + ">\n";
}

// The sample page for a stylesheet whose custom section holds customSection.
std::string previewPage(std::string_view customSection)
{
    std::string shown, notShown;
    std::set<std::string> seen;
    for (std::size_t start = 0; start < customSection.size();) {
        std::size_t end = customSection.find('\n', start);
        if (end == std::string_view::npos)
            end = customSection.size();
        const std::string_view line = customSection.substr(start, end - start);
        start = end + 1;
        const std::size_t brace = line.find('{');
        const std::string selector = trimmed(line.substr(0, brace));
        if (brace == std::string_view::npos || selector.empty() || !seen.insert(selector).second)
            continue;
        if (const auto element = elementFor(selector))
            shown += *element;
        else
            notShown += "<li>" + escaped(selector) + ": not shown</li>\n";
    }
    std::string page(pageStart);
    if (!shown.empty() || !notShown.empty())
        page += "<h2>Your custom selectors</h2>\n" + shown;
    if (!notShown.empty())
        page += "<ul>\n" + notShown + "</ul>\n";
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
