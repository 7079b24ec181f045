// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/preview.h"

#include "windows/browser.h"
#include "windows/commondialog.h"
#include "windows/qttext.h"
#include "windows/samplepage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <array>

namespace rulecraft::windows {

namespace {

// How long the sections stay still before what is served is built again: with the page's
// quarter-second poll, a change shows within about half a second of the last key.
constexpr std::chrono::milliseconds stillTime{200};
// The sections are read for the preview in turns of about this long between events, in
// parts of this many characters.
constexpr qint64 turnMilliseconds = 4;
constexpr qsizetype partSize = 64 * 1024;

QByteArray resource(const QString& name)
{
    QFile file(QStringLiteral(":/rulecraft/") + name);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

// One build's input, taken in the event loop, and what the worker makes of it.
struct Preview::Build {
    std::array<QString, sectionCount> texts;
    std::optional<PendingRule> pending;
    QByteArray sheet;
    QString samples;
};

Preview::Preview(QObject* parent, const SectionBoxes& sections, CommonDialog& messages)
    : QObject(parent), sections_(sections), messages_(messages),
      browser_([this](const QUrl& address, std::function<void()> cannotOpen) {
          openInBrowser(this, address, cannotOpen);
      }),
      pageTemplate_(resource(QStringLiteral("preview.html"))),
      sampleTemplate_(resource(QStringLiteral("previewsample.html"))),
      cssReader_(resource(QStringLiteral("csstree.js")))
{
    close();
    still_.setSingleShot(true);
    still_.setInterval(stillTime);
    connect(&still_, &QTimer::timeout, this, &Preview::takeParts);
    takeNext_.setSingleShot(true);
    takeNext_.setInterval(0);
    connect(&takeNext_, &QTimer::timeout, this, &Preview::takeParts);
}

Preview::~Preview()
{
    close();
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
        takeParts();
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
    changed_.set(static_cast<std::size_t>(section));
    // The part taken so far may be of this section; it is taken again from its start.
    taking_ = QString();
    noteChange();
}

void Preview::pendingRuleChanged(std::optional<PendingRule> rule)
{
    pending_ = std::move(rule);
    noteChange();
}

void Preview::noteChange()
{
    takeNext_.stop();
    // Nothing is built while nothing is served.
    if (server_)
        still_.start();
}

// Takes the changed sections' text, a part at a time, for a turn at most; then comes back
// for the rest after the events that came meanwhile, or starts the build.
void Preview::takeParts()
{
    QElapsedTimer turn;
    turn.start();
    for (Section section : sectionsInOrder) {
        const auto index = static_cast<std::size_t>(section);
        if (!changed_[index])
            continue;
        const qsizetype length = sections_.rawLength(section);
        if (taking_.isNull())
            taking_.reserve(length);
        while (taking_.size() < length) {
            if (turn.elapsed() >= turnMilliseconds) {
                takeNext_.start();
                return;
            }
            taking_ += sections_.rawPart(section, taking_.size(), partSize);
        }
        taken_[index] = std::exchange(taking_, QString());
        changed_.reset(index);
    }
    startBuild();
}

// The bytes Save would write for the sections as taken, with the pending rule filed into a
// copy, are made on a thread of their own.
void Preview::startBuild()
{
    if (building_) {
        changedWhileBuilding_ = true;
        return;
    }
    auto build = std::make_shared<Build>(Build{taken_, pending_, {}, {}});
    building_ = QThread::create([build] {
        MemorySectionSet sections;
        std::string text;
        for (Section section : sectionsInOrder) {
            text.clear();
            appendBoxUtf8(build->texts[static_cast<std::size_t>(section)], text);
            sections.replace(section, text);
        }
        if (build->pending)
            fileRule(sections, build->pending->key, build->pending->rule);
        assembleStylesheet(sections, text);
        forEachFilePiece(text, [&](std::string_view piece) {
            build->sheet.append(piece.data(), static_cast<qsizetype>(piece.size()));
            return true;
        });
        build->samples = customSamples(sections.text(Section::Blank));
    });
    // A finish already queued when close() let its thread go still arrives: only the build
    // that is still wanted is adopted.
    connect(building_, &QThread::finished, this, [this, build, number = ++buildNumber_] {
        if (number != buildNumber_)
            return;
        building_->deleteLater();
        building_ = nullptr;
        adopt(*build);
        if (std::exchange(changedWhileBuilding_, false))
            startBuild();
    });
    building_->start();
}

void Preview::adopt(const Build& built)
{
    auto next = std::make_shared<Snapshot>();
    next->sheetStamp = shown_->sheetStamp + 1;
    next->pageStamp = shown_->pageStamp + (built.samples != shown_->samples ? 1 : 0);
    if (built.pending)
        next->pendingSelector = QByteArray::fromStdString(built.pending->selector);
    next->samples = built.samples;
    next->sheet = built.sheet;
    next->page = samplePage(pageTemplate_, next->sheetStamp, next->pageStamp, {});
    next->sample = samplePage(sampleTemplate_, next->sheetStamp, next->pageStamp, next->samples);
    shown_ = std::move(next);
}

void Preview::close()
{
    still_.stop();
    takeNext_.stop();
    taken_ = {};
    changed_.set();
    taking_ = QString();
    delete std::exchange(server_, nullptr);
    if (building_) {
        ++buildNumber_;
        building_->disconnect(this);
        building_->wait();
        delete std::exchange(building_, nullptr);
    }
    changedWhileBuilding_ = false;
    // Until the first build is in, the page without a sheet.
    auto empty = std::make_shared<Snapshot>();
    empty->page = samplePage(pageTemplate_, 0, 0, {});
    empty->sample = samplePage(sampleTemplate_, 0, 0, {});
    shown_ = std::move(empty);
}

std::optional<PreviewServer::Page> Preview::pageAt(const QByteArray& path) const
{
    const QByteArray folder = '/' + token_ + '/';
    if (!path.startsWith(folder))
        return std::nullopt;
    const QByteArray name = path.mid(folder.size());
    if (name.isEmpty())
        return PreviewServer::Page{"text/html; charset=utf-8", shown_->page};
    if (name == "sample")
        return PreviewServer::Page{"text/html; charset=utf-8", shown_->sample};
    if (name == "csstree.js")
        return PreviewServer::Page{"text/javascript; charset=utf-8", cssReader_};
    if (name == "style.css")
        return PreviewServer::Page{"text/css; charset=windows-1252", shown_->sheet};
    // The stamps of the sheet and the page, whether a pending rule is shown, and on a line
    // of its own that rule's selector.
    if (name == "version")
        return PreviewServer::Page{
            "text/plain; charset=utf-8",
            QByteArray::number(shown_->sheetStamp) + ' ' + QByteArray::number(shown_->pageStamp) +
                (shown_->pendingSelector ? " 1\n" + *shown_->pendingSelector : " 0\n")};
    return std::nullopt;
}

} // namespace rulecraft::windows
