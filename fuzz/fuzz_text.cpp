// SPDX-License-Identifier: GPL-3.0-or-later
// The text path of a Save, from a box's raw text to the file's bytes, and the reading of a
// line edit, against Qt's own converter. Each input byte is one UTF-16 unit of the box:
// ASCII as it is, every other byte one of the units where conversions break (separators,
// both halves of a surrogate pair, characters of two and three bytes). The first two bytes
// give the text's length, up to 128 Ki units, and the rest is repeated to fill it, so that a
// short input reaches past every piece and puts a pair across each edge in turn.
#include "core/stylesheet.h"
#include "windows/qttext.h"

#include <QList>
#include <QString>

#include <array>
#include <cstdlib>
#include <string>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

constexpr std::array<char16_t, 16> units{0x2029, 0x2028, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF,
                                         0xD800, 0xDC00, 0x00E9, 0x20AC, 0x6F22, 0x0081,
                                         0x00A0, 0xFFFD, u'\r',  u'\n'};

// UTF-8 with each lone surrogate one U+FFFD, as Qt reads a text when it counts characters.
std::string asCharacters(const QString& text)
{
    const QList<uint> characters = text.toUcs4();
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                             characters.size())
        .toUtf8()
        .toStdString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const qsizetype length = 2 * qsizetype(data[0] | data[1] << 8);
    QString box(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i) {
        const std::uint8_t b = data[2 + std::size_t(i) % (size - 2)];
        box[i] = b < 0x80 ? QChar(b) : QChar(units[b % units.size()]);
    }

    std::string utf8 = "kept";
    rulecraft::windows::appendBoxUtf8(box, utf8);
    QString lines = box;
    lines.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"))
        .replace(QChar::LineSeparator, QLatin1String("\r\n"));
    check(utf8 == "kept" + asCharacters(lines));
    // A line edit is read whole, separators and all.
    check(rulecraft::windows::toCore(box) == asCharacters(box));
    // The file has one byte a character; which byte, the unit tests and the walk say.
    check(rulecraft::toWindows1252(utf8.substr(4)).size() == std::size_t(lines.toUcs4().size()));
    return 0;
}
