// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stylesheet at work: a sample page in the user's own browser, styled by exactly the
// bytes that Save would write, and kept current while the sections change. The page is
// served from memory on a loopback address with a secret in its path, which only the
// browser it is handed to learns; it is served until the program ends.

#include "core/stylesheet.h"
#include "windows/previewserver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace rulecraft::windows {

class CommonDialog;

class Preview : public QObject {
    Q_OBJECT

public:
    // Hands an address to a browser; calls cannotOpen, then or later, when none takes it.
    using Browser = std::function<void(const QUrl& address, std::function<void()> cannotOpen)>;

    Preview(QObject* parent, const SectionSet& sections, CommonDialog& messages);

    // Starts serving at the first call, then hands the page to a browser.
    void open();
    // Only notes the change: the page asks for the stylesheet when it sees one, once the
    // typing has paused.
    void sectionChanged(Section section);
    // The rule the editor would commit now, or none: the page shows the stylesheet as it
    // would be with it, and says so.
    void pendingRuleChanged(std::optional<PendingRule> rule);
    void close();

    // The page's address; empty while nothing is served.
    QUrl address() const;
    void setBrowser(Browser browser) { browser_ = std::move(browser); }

private:
    std::optional<PreviewServer::Page> pageAt(const QByteArray& path);
    QByteArray page();
    QByteArray stylesheet();
    QByteArray stamps();
    void refreshSamples();
    void noteChange(bool samplesMayChange);
    // The sections as the page shows them: with the pending rule filed into a copy.
    const SectionSet& shownSections();

    const SectionSet& sections_;
    CommonDialog& messages_;
    Browser browser_;
    PreviewServer* server_ = nullptr;
    QByteArray token_;
    const QByteArray pageTemplate_;
    // Stamps the page polls: every change of a section, and every change of the set of
    // sample elements, which only the custom section decides. The page is told of a change
    // only once the sections have been still for a moment, so that reading a large section
    // never delays the keys of a user who is typing.
    quint64 sheetVersion_ = 0;
    quint64 shownSheetVersion_ = 0;
    quint64 pageVersion_ = 0;
    bool samplesStale_ = true;
    QElapsedTimer sinceChange_;
    QString samples_;
    quint64 servedSheetVersion_ = ~quint64(0);
    QByteArray servedSheet_;
    std::optional<PendingRule> pending_;
    std::optional<MemorySectionSet> withPending_;
    quint64 withPendingVersion_ = 0;
    // What the page was last told of the pending rule.
    std::optional<QByteArray> shownSelector_;
};

} // namespace rulecraft::windows
