// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Text crossing between Qt (UTF-16, paragraph separators) and the core (UTF-8, CR LF), and
// the main window's section boxes as the core's SectionSet.

#include "core/stylesheet.h"

#include <QString>

#include <array>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace rulecraft::windows {

QString toQt(std::string_view utf8);
std::string toCore(QStringView text);

// Appends a box's raw text (paragraph and line separators between its lines) to out as
// UTF-8, every line break as CR LF, in one pass and without a copy of its own. A lone
// surrogate, which no valid text holds, becomes U+FFFD.
void appendBoxUtf8(QStringView rawText, std::string& out);
void appendBoxText(const QPlainTextEdit* box, std::string& out);
// Replaces what the box holds, as one step that Undo takes back.
void setBoxText(QPlainTextEdit* box, std::string_view text);
// Replaces what the box holds with a whole file's section, forgetting its undo history.
void loadBoxText(QPlainTextEdit* box, std::string_view text);
// Adds at the end of the box without replacing what it holds.
void appendToBox(QPlainTextEdit* box, std::string_view text);

// The document lives in the main window's section boxes, in the order of Section; the
// core reaches it through this.
class SectionBoxes final : public SectionSet {
public:
    using Boxes = std::array<QPlainTextEdit*, sectionCount>;
    explicit SectionBoxes(const Boxes& boxes) : boxes_(boxes) {}

    void appendTextTo(Section section, std::string& out) const override;
    void replace(Section section, std::string_view text) override;
    void append(Section section, std::string_view text) override;

    // A box's raw text, as appendBoxText reads it, in UTF-16 units, and a part of it: a large
    // box can be read a part at a time between events, each part costing only its own size.
    qsizetype rawLength(Section section) const;
    QString rawPart(Section section, qsizetype from, qsizetype count) const;

private:
    QPlainTextEdit* box(Section section) const;

    Boxes boxes_;
};

} // namespace rulecraft::windows
