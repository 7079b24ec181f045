// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/qttext.h"

#include <QPlainTextEdit>
#include <QStringEncoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace rulecraft::windows {

namespace {

// Qt's UTF-8 encoder, fed a piece at a time straight into the end of a std::string. It
// keeps a surrogate pair split across two pieces whole; at the end of the text there is
// no next piece, so a surrogate it still holds is written as it writes any lone one.
class Utf8Writer : public QStringEncoder {
public:
    explicit Utf8Writer(std::string& out) : QStringEncoder(Utf8), out_(out) {}
    ~Utf8Writer()
    {
        if (state.remainingChars)
            out_ += "\xEF\xBF\xBD";
    }
    Utf8Writer(const Utf8Writer&) = delete;
    Utf8Writer& operator=(const Utf8Writer&) = delete;

    // A small piece at a time, so that the room asked for ahead stays small too.
    void write(QStringView text)
    {
        constexpr qsizetype piece = 16 * 1024;
        for (qsizetype at = 0; at < text.size(); at += piece) {
            const QStringView part = text.mid(at, std::min(piece, text.size() - at));
            const std::size_t used = out_.size();
            out_.resize(used + static_cast<std::size_t>(requiredSpace(part.size())));
            char* const end = appendToBuffer(out_.data() + used, part);
            out_.resize(static_cast<std::size_t>(end - out_.data()));
        }
    }

private:
    std::string& out_;
};

bool isSeparator(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
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
    Utf8Writer(utf8).write(text);
    return utf8;
}

void appendBoxUtf8(QStringView rawText, std::string& out)
{
    Utf8Writer writer(out);
    const QChar* const end = rawText.end();
    for (const QChar* line = rawText.begin(); line != end;) {
        const QChar* const lineEnd = std::find_if(line, end, isSeparator);
        writer.write(QStringView(line, lineEnd));
        if (lineEnd == end)
            break;
        // Through the encoder, so that a surrogate left lone before the break is written.
        writer.write(u"\r\n");
        line = lineEnd + 1;
    }
}

void appendBoxText(const QPlainTextEdit* box, std::string& out)
{
    // The raw text is the document's buffer in order, with a paragraph separator between
    // blocks (Enter, or a pasted line break of any kind); one copy, then one pass.
    appendBoxUtf8(box->document()->toRawText(), out);
}

void setBoxText(QPlainTextEdit* box, std::string_view text)
{
    // setPlainText would also forget the box's undo history.
    QTextCursor all(box->document());
    all.select(QTextCursor::Document);
    all.insertText(toQt(text));
}

void loadBoxText(QPlainTextEdit* box, std::string_view text)
{
    // A QTextDocument spends microseconds on each paragraph, seconds on the lines of a large
    // file, so lines are joined into paragraphs of about this many characters by line
    // separators, which read back as line breaks as paragraph separators do.
    constexpr qsizetype paragraphLength = 1000;
    // Decoded and then joined a piece at a time, while the piece is still in the cache.
    constexpr std::size_t piece = 64 * 1024;
    QString loaded(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QStringDecoder decoder(QStringDecoder::Utf8);
    QChar* const start = loaded.data();
    QChar* out = start;
    QChar* paragraph = start;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = std::min(pos + piece, text.size());
        if (end < text.size() && text[end - 1] == '\r' && text[end] == '\n')
            ++end;
        const QChar* const decoded =
            decoder.appendToBuffer(out, QByteArrayView(text.data() + pos, end - pos));
        pos = end;
        for (const QChar* in = out; in != decoded;) {
            const qsizetype lineLength = QStringView(in, decoded).indexOf(u'\r');
            const QChar* const lineEnd = lineLength < 0 ? decoded : in + lineLength;
            out = std::copy(in, lineEnd, out);
            if (lineEnd == decoded)
                break;
            in = lineEnd + (lineEnd + 1 != decoded && lineEnd[1] == u'\n' ? 2 : 1);
            if (out - paragraph >= paragraphLength) {
                *out++ = QChar::ParagraphSeparator;
                paragraph = out;
            } else {
                *out++ = QChar::LineSeparator;
            }
        }
    }
    loaded.truncate(out - start);
    box->setPlainText(loaded);
}

void appendToBox(QPlainTextEdit* box, std::string_view text)
{
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(toQt(text));
}

void SectionBoxes::appendTextTo(Section section, std::string& out) const
{
    appendBoxText(box(section), out);
}

void SectionBoxes::replace(Section section, std::string_view text)
{
    setBoxText(box(section), text);
}

void SectionBoxes::append(Section section, std::string_view text)
{
    appendToBox(box(section), text);
}

qsizetype SectionBoxes::rawLength(Section section) const
{
    // Without the paragraph separator that ends every document, as toRawText leaves it out.
    return box(section)->document()->characterCount() - 1;
}

QString SectionBoxes::rawPart(Section section, qsizetype from, qsizetype count) const
{
    QTextCursor part(box(section)->document());
    part.setPosition(static_cast<int>(from));
    part.setPosition(static_cast<int>(std::min(from + count, rawLength(section))),
                     QTextCursor::KeepAnchor);
    return part.selectedText();
}

QPlainTextEdit* SectionBoxes::box(Section section) const
{
    return boxes_[static_cast<std::size_t>(section)];
}

} // namespace rulecraft::windows
