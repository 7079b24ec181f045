// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/preview.h"

#include "windows/commondialog.h"

#include <QAbstractHttpServer>
#include <QDesktopServices>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpSocket>

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

using Status = QHttpServerResponder::StatusCode;

// How long the sections stay still before the page is told: with the page's quarter-second
// poll, a change shows within half a second of the last key.
constexpr qint64 stillMs = 200;

void send(QHttpServerResponder& responder, Status status, const QByteArray& type,
          const QByteArray& body, bool withBody)
{
    responder.writeStatusLine(status);
    responder.writeHeaders({{"Content-Type", type},
                            {"Content-Length", QByteArray::number(body.size())},
                            {"Cache-Control", "no-store"},
                            {"X-Content-Type-Options", "nosniff"}});
    // An empty body still ends the headers.
    responder.writeBody(withBody ? body : QByteArray());
}

// xdg-open says when it found no browser, where QDesktopServices only says whether it
// could start xdg-open; Qt's way is the fallback where there is no xdg-open.
void openInBrowser(QObject* context, const QUrl& address, const std::function<void()>& cannotOpen)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(address))
            cannotOpen();
        return;
    }
    auto* process = new QProcess(context);
    // No pipes: the browser may outlive the program.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, cannotOpen](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             cannotOpen();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, cannotOpen](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             cannotOpen();
                             process->deleteLater();
                         }
                     });
    process->start(opener, {address.toString()});
}

} // namespace

// Qt's HTTP server, answering every request itself: the routes of QHttpServer cannot
// refuse a request by its Host header.
class Preview::Server : public QAbstractHttpServer {
public:
    explicit Server(Preview& preview) : preview_(preview) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        preview_.respond(request, responder);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    Preview& preview_;
};

Preview::Preview(QObject* parent, const SectionSet& sections, CommonDialog& messages)
    : QObject(parent), sections_(sections), messages_(messages),
      browser_([this](const QUrl& address, std::function<void()> cannotOpen) {
          openInBrowser(this, address, cannotOpen);
      })
{
}

Preview::~Preview() = default;

QUrl Preview::address() const
{
    if (!server_)
        return {};
    return QUrl(QStringLiteral("http://127.0.0.1:%1/%2/")
                    .arg(server_->serverPorts().value(0))
                    .arg(QString::fromLatin1(token_)));
}

void Preview::open()
{
    if (!server_) {
        server_ = std::make_unique<Server>(*this);
        if (server_->listen(QHostAddress::LocalHost, 0) == 0) {
            server_.reset();
            messages_.warn(nullptr, tr("The preview cannot be served: no local port is free."));
            return;
        }
        std::array<quint32, 4> secret{};
        QRandomGenerator::system()->fillRange(secret.data(), secret.size());
        token_ = QByteArray(reinterpret_cast<const char*>(secret.data()), sizeof secret).toHex();
    }
    // One warning for this press, however the browser fails.
    const QUrl page = address();
    auto warned = std::make_shared<bool>(false);
    browser_(page, [this, page, warned] {
        if (std::exchange(*warned, true))
            return;
        messages_.warn(nullptr, tr("No web browser could be opened. Open the preview by hand at "
                                   "this address:\n\n%1")
                                    .arg(page.toString()));
    });
}

void Preview::sectionChanged(Section section)
{
    ++sheetVersion_;
    sinceChange_.start();
    if (section == Section::Blank)
        samplesStale_ = true;
}

void Preview::close()
{
    server_.reset();
    servedSheet_.clear();
}

void Preview::respond(const QHttpServerRequest& request, QHttpServerResponder& responder)
{
    const quint16 port = server_->serverPorts().value(0);
    // A page elsewhere may reach this port through a name that it makes point here; its
    // requests carry that name.
    if (request.value("Host") != "127.0.0.1:" + QByteArray::number(port))
        return send(responder, Status::Forbidden, "text/plain", "Forbidden\n", true);
    const auto method = request.method();
    const bool head = method == QHttpServerRequest::Method::Head;
    if (!head && method != QHttpServerRequest::Method::Get)
        return send(responder, Status::MethodNotAllowed, "text/plain", "GET or HEAD only\n", true);
    const QString path = request.url().path();
    const QString folder = QLatin1Char('/') + QString::fromLatin1(token_) + QLatin1Char('/');
    if (path == folder)
        return send(responder, Status::Ok, "text/html; charset=utf-8", page(), !head);
    if (path == folder + QLatin1String("style.css"))
        return send(responder, Status::Ok, "text/css; charset=windows-1252", stylesheet(), !head);
    if (path == folder + QLatin1String("version"))
        return send(responder, Status::Ok, "text/plain", versions(), !head);
    send(responder, Status::NotFound, "text/plain", "Not found\n", true);
}

void Preview::refreshSamples()
{
    if (!std::exchange(samplesStale_, false))
        return;
    QString samples = customSamples(sections_.text(Section::Blank));
    if (samples != samples_)
        samples_ = std::move(samples), ++pageVersion_;
}

QByteArray Preview::versions()
{
    if (!sinceChange_.isValid() || sinceChange_.elapsed() >= stillMs) {
        refreshSamples();
        shownSheetVersion_ = sheetVersion_;
    }
    return QByteArray::number(shownSheetVersion_) + ' ' + QByteArray::number(pageVersion_);
}

QByteArray Preview::page()
{
    refreshSamples();
    QFile file(QStringLiteral(":/rulecraft/preview.html"));
    file.open(QIODevice::ReadOnly);
    shownSheetVersion_ = sheetVersion_;
    return file.readAll()
        .replace("@SHEET@", QByteArray::number(sheetVersion_))
        .replace("@PAGE@", QByteArray::number(pageVersion_))
        .replace("<!--custom selectors-->", samples_.toUtf8());
}

// The bytes Save writes: the same assembly, the same code page, the same final CR LF.
QByteArray Preview::stylesheet()
{
    if (servedSheetVersion_ != sheetVersion_) {
        std::string text;
        assembleStylesheet(sections_, text);
        const std::string bytes = toWindows1252(text);
        servedSheet_ = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())) + "\r\n";
        servedSheetVersion_ = sheetVersion_;
    }
    return servedSheet_;
}

} // namespace rulecraft::windows
