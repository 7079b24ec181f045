// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/qttext.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace rulecraft::windows {

namespace {

// UTF-16 to UTF-8 at the end of out; in a box's text, paragraph and line separators (Enter,
// Shift+Enter) are line breaks. An unpaired surrogate, which no valid text holds, becomes
// U+FFFD as Qt's own converter does. The text is converted a piece at a time into a small
// buffer, so that a long text costs one pass and no copy of its own.
void appendUtf8(QStringView text, std::string& out, bool boxText = false)
{
    constexpr qsizetype piece = 16 * 1024;
    char buffer[piece * 3];
    const char16_t* next = text.utf16();
    const char16_t* const end = next + text.size();
    while (next != end) {
        const char16_t* const stop = next + std::min<qsizetype>(piece, end - next);
        char* write = buffer;
        while (next != stop) {
            char32_t c = *next++;
            if (c < 0x80) {
                *write++ = static_cast<char>(c);
            } else if (boxText && (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)) {
                *write++ = '\r';
                *write++ = '\n';
            } else if (c < 0x800) {
                *write++ = static_cast<char>(0xC0 | (c >> 6));
                *write++ = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                if (QChar::isHighSurrogate(c) && next != end && QChar::isLowSurrogate(*next))
                    c = QChar::surrogateToUcs4(char16_t(c), *next++);
                else if (QChar::isSurrogate(c))
                    c = 0xFFFD;
                if (c >= 0x10000) {
                    *write++ = static_cast<char>(0xF0 | (c >> 18));
                    *write++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                } else {
                    *write++ = static_cast<char>(0xE0 | (c >> 12));
                }
                *write++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *write++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        out.append(buffer, static_cast<std::size_t>(write - buffer));
    }
}

} // namespace

QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toCore(QStringView text)
{
    std::string utf8;
    utf8.reserve(static_cast<std::size_t>(text.size()));
    appendUtf8(text, utf8);
    return utf8;
}

void appendBoxText(const QPlainTextEdit* box, std::string& out)
{
    // The raw text is the document's buffer in order, with a paragraph separator between
    // blocks (Enter, or a pasted line break of any kind); one copy, then one pass.
    appendUtf8(box->document()->toRawText(), out, true);
}

void setBoxText(QPlainTextEdit* box, std::string_view text)
{
    box->setPlainText(toQt(text));
}

void appendToBox(QPlainTextEdit* box, std::string_view text)
{
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(toQt(text));
}

} // namespace rulecraft::windows
