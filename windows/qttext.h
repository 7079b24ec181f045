// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Text crossing between Qt (UTF-16, paragraph separators) and the core (UTF-8, CR LF).

#include <QString>

#include <string>
#include <string_view>

class QPlainTextEdit;

namespace rulecraft::windows {

QString toQt(std::string_view utf8);
std::string toCore(QStringView text);

// Appends a text box's text to out as UTF-8, every line break as CR LF, in one pass over
// the document. Characters such as a no-break space stay as they are.
void appendBoxText(const QPlainTextEdit* box, std::string& out);
void setBoxText(QPlainTextEdit* box, std::string_view text);
// Adds at the end of the box without replacing what it holds.
void appendToBox(QPlainTextEdit* box, std::string_view text);

} // namespace rulecraft::windows
