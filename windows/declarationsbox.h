// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>

#include <string>
#include <string_view>

namespace rulecraft::windows {

// The editor's holder: read-only, it only ever grows at its end. Qt lays out a whole
// paragraph again on every change, and the holder is one long line, so it is shown as
// paragraphs of about two lines of the box, broken only between two additions. The breaks
// are for display alone: text() and copying give the holder without them.
class DeclarationsBox : public QPlainTextEdit {
    Q_OBJECT

public:
    DeclarationsBox(QWidget* parent);

    const std::string& text() const { return text_; }
    void append(std::string_view addition);

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    std::string text_;
};

} // namespace rulecraft::windows
