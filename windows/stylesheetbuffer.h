// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <string>

namespace rulecraft::windows {

// The main window's hidden stylesheet buffer: Save fills it and writes it, and nobody
// ever sees it, so it is no widget and has no place. It keeps the text as it is; a text
// document would spend seconds laying out a stylesheet of many megabytes that is never
// shown. Its memory is kept from one Save to the next.
class StylesheetBuffer : public QObject {
    Q_OBJECT

public:
    explicit StylesheetBuffer(QObject* parent) : QObject(parent) { setObjectName("h"); }

    const std::string& text() const { return text_; }
    std::string& text() { return text_; }

private:
    std::string text_;
};

} // namespace rulecraft::windows
