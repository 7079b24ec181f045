// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/preview.h"

#include "windows/browser.h"
#include "windows/commondialog.h"
#include "windows/samplepage.h"

#include <QFile>
#include <QRandomGenerator>

#include <array>

namespace rulecraft::windows {

namespace {

// How long the sections stay still before the page is told: with the page's quarter-second
// poll, a change shows within half a second of the last key.
constexpr qint64 stillMs = 200;

QByteArray pageTemplate()
{
    QFile file(QStringLiteral(":/rulecraft/preview.html"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

Preview::Preview(QObject* parent, const SectionSet& sections, CommonDialog& messages)
    : QObject(parent), sections_(sections), messages_(messages),
      browser_([this](const QUrl& address, std::function<void()> cannotOpen) {
          openInBrowser(this, address, cannotOpen);
      }),
      pageTemplate_(pageTemplate())
{
}

QUrl Preview::address() const
{
    if (!server_)
        return {};
    return QUrl(QString::fromLatin1("http://" + server_->authority() + '/' + token_ + '/'));
}

void Preview::open()
{
    if (!server_) {
        server_ = new PreviewServer(this, [this](const QByteArray& path) { return pageAt(path); });
        if (!server_->listen()) {
            delete std::exchange(server_, nullptr);
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
    noteChange(section == Section::Blank);
}

void Preview::pendingRuleChanged(std::optional<PendingRule> rule)
{
    const auto custom = [](const std::optional<PendingRule>& r) {
        return r && sectionForKey(r->key) == Section::Blank;
    };
    const bool samplesMayChange = custom(pending_) || custom(rule);
    pending_ = std::move(rule);
    if (!pending_)
        withPending_.reset();
    noteChange(samplesMayChange);
}

void Preview::noteChange(bool samplesMayChange)
{
    ++sheetVersion_;
    sinceChange_.start();
    samplesStale_ = samplesStale_ || samplesMayChange;
}

const SectionSet& Preview::shownSections()
{
    if (!pending_)
        return sections_;
    if (!withPending_ || withPendingVersion_ != sheetVersion_) {
        withPending_.emplace(sections_);
        fileRule(*withPending_, pending_->key, pending_->rule);
        withPendingVersion_ = sheetVersion_;
    }
    return *withPending_;
}

void Preview::close()
{
    delete std::exchange(server_, nullptr);
    servedSheet_.clear();
    withPending_.reset();
}

std::optional<PreviewServer::Page> Preview::pageAt(const QByteArray& path)
{
    const QByteArray folder = '/' + token_ + '/';
    if (!path.startsWith(folder))
        return std::nullopt;
    const QByteArray name = path.mid(folder.size());
    if (name.isEmpty())
        return PreviewServer::Page{"text/html; charset=utf-8", page()};
    if (name == "style.css")
        return PreviewServer::Page{"text/css; charset=windows-1252", stylesheet()};
    if (name == "version")
        return PreviewServer::Page{"text/plain; charset=utf-8", stamps()};
    return std::nullopt;
}

void Preview::refreshSamples()
{
    if (!std::exchange(samplesStale_, false))
        return;
    QString samples = customSamples(shownSections().text(Section::Blank));
    if (samples != samples_)
        samples_ = std::move(samples), ++pageVersion_;
}

// The stamps of the sheet and the page, whether a pending rule is shown, and on a line of
// its own that rule's selector.
QByteArray Preview::stamps()
{
    if (!sinceChange_.isValid() || sinceChange_.elapsed() >= stillMs) {
        refreshSamples();
        shownSheetVersion_ = sheetVersion_;
        shownSelector_.reset();
        if (pending_)
            shownSelector_ = QByteArray::fromStdString(pending_->selector);
    }
    return QByteArray::number(shownSheetVersion_) + ' ' + QByteArray::number(pageVersion_) +
           (shownSelector_ ? " 1\n" + *shownSelector_ : " 0\n");
}

QByteArray Preview::page()
{
    refreshSamples();
    shownSheetVersion_ = sheetVersion_;
    return samplePage(pageTemplate_, sheetVersion_, pageVersion_, samples_);
}

// The bytes Save writes, from the same assembly and the same conversion.
QByteArray Preview::stylesheet()
{
    if (servedSheetVersion_ != sheetVersion_) {
        std::string text;
        assembleStylesheet(shownSections(), text);
        servedSheet_.clear();
        forEachFilePiece(text, [this](std::string_view piece) {
            servedSheet_.append(piece.data(), static_cast<qsizetype>(piece.size()));
            return true;
        });
        servedSheetVersion_ = sheetVersion_;
    }
    return servedSheet_;
}

} // namespace rulecraft::windows
