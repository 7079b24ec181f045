// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/qttext.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace rulecraft::windows {

namespace {

// UTF-16 to UTF-8 at the end of out. A line separator (Shift+Enter) is a line break; an
// unpaired surrogate, which no valid text holds, becomes U+FFFD as Qt's own converter does.
void appendUtf8(QStringView text, std::string& out)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Runs of ASCII, the common case, are copied in one step.
        qsizetype run = i;
        while (run < text.size() && text[run].unicode() < 0x80)
            ++run;
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(run - i));
            for (qsizetype k = i; k < run; ++k)
                out[at + static_cast<std::size_t>(k - i)] = static_cast<char>(text[k].unicode());
            i = run - 1;
            continue;
        }
        char32_t c = text[i].unicode();
        if (c == QChar::LineSeparator) {
            out += "\r\n";
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        else if (QChar::isSurrogate(c))
            c = 0xFFFD;
        if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (c & 0x3F));
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
    const QTextDocument* document = box->document();
    // A paragraph break (Enter, or a pasted line break of any kind) lies between blocks.
    // The empty document is one empty block.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            out += "\r\n";
        appendUtf8(block.text(), out);
    }
}

std::string boxText(const QPlainTextEdit* box)
{
    std::string text;
    appendBoxText(box, text);
    return text;
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
