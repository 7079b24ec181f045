// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stylesheet at work: a sample page in the user's own browser, styled by exactly the
// bytes that Save would write, and kept current while the sections change. The page and
// its stylesheet live in a private folder that goes when the program ends.

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QTemporaryDir;
class QUrl;

namespace rulecraft {
class SectionSet;
}

namespace rulecraft::windows {

class CommonDialog;

class Preview : public QObject {
    Q_OBJECT

public:
    // Opens a page in a browser; false when none could be opened.
    using Browser = std::function<bool(const QUrl&)>;

    Preview(QObject* parent, const SectionSet& sections, CommonDialog& messages);
    ~Preview() override;

    // Writes the page and its stylesheet, then shows the page.
    void open();
    // Rewrites the stylesheet shortly after the last of a run of changes.
    void sectionsChanged();
    // Removes the folder.
    void close();

    // Empty while no preview is open.
    QString folder() const;
    void setBrowser(Browser browser) { browser_ = std::move(browser); }

private:
    void write();

    const SectionSet& sections_;
    CommonDialog& messages_;
    Browser browser_;
    std::unique_ptr<QTemporaryDir> folder_;
    QTimer rewrite_;
    std::string stylesheet_;
};

} // namespace rulecraft::windows
