// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stylesheet at work: a sample page in the user's own browser, styled by exactly the
// bytes that Save would write, and kept current while the sections change. The page is
// served from memory on a loopback address with a secret in its path, which only the
// browser it is handed to learns; it is served until the program ends.

#include "core/stylesheet.h"
#include "windows/previewserver.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace rulecraft::windows {

class CommonDialog;
class SectionBoxes;

class Preview : public QObject {
    Q_OBJECT

public:
    // Hands an address to a browser; calls cannotOpen, then or later, when none takes it.
    using Browser = std::function<void(const QUrl& address, std::function<void()> cannotOpen)>;

    Preview(QObject* parent, const SectionBoxes& sections, CommonDialog& messages);
    ~Preview() override;

    // Starts serving at the first call, then hands the page to a browser.
    void open();
    // Only notes the change: what is served is built once the sections have been still for
    // a moment.
    void sectionChanged(Section section);
    // The rule the editor would commit now, or none: the page shows the stylesheet as it
    // would be with it, and says so.
    void pendingRuleChanged(std::optional<PendingRule> rule);
    void close();

    // The page's address; empty while nothing is served.
    QUrl address() const;
    void setBrowser(Browser browser) { browser_ = std::move(browser); }

private:
    // What is served, built once per change and only read by the requests: the stamps the
    // page polls (one per build of the sheet, one per change of the set of sample elements),
    // the selector of the rule shown before it is committed, and the bytes.
    struct Snapshot {
        quint64 sheetStamp = 0;
        quint64 pageStamp = 0;
        std::optional<QByteArray> pendingSelector;
        QString samples;
        QByteArray page;
        QByteArray sample;
        QByteArray sheet;
    };
    struct Build;

    std::optional<PreviewServer::Page> pageAt(const QByteArray& path) const;
    void noteChange();
    void takeParts();
    void startBuild();
    void adopt(const Build& built);

    const SectionBoxes& sections_;
    CommonDialog& messages_;
    Browser browser_;
    PreviewServer* server_ = nullptr;
    QByteArray token_;
    const QByteArray pageTemplate_;
    const QByteArray sampleTemplate_;
    const QByteArray cssReader_;
    std::optional<PendingRule> pending_;
    // Restarted at each change, so that a user who is typing is never kept waiting.
    QTimer still_;
    // Each section's text as last taken, and which sections have changed since. A changed
    // section is taken a part at a time between events, so that however large it is the
    // windows are never held up; taking_ is what is taken so far of the first changed one.
    std::array<QString, sectionCount> taken_;
    std::bitset<sectionCount> changed_;
    QString taking_;
    QTimer takeNext_;
    // The sheet is converted and assembled away from the windows, one build at a time.
    QThread* building_ = nullptr;
    quint64 buildNumber_ = 0; // the build whose finish is awaited
    bool changedWhileBuilding_ = false;
    std::shared_ptr<const Snapshot> shown_;
};

} // namespace rulecraft::windows
