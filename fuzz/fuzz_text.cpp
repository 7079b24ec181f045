// SPDX-License-Identifier: GPL-3.0-or-later
// The text path of a Save, from a box's raw text to the file's bytes, against Qt's own
// converter. Each input byte is one UTF-16 unit of the box: ASCII as it is, every other byte
// one of the units where conversions break (separators, both halves of a surrogate pair,
// characters of two and three bytes). The first two bytes give the text's length, up to
// 128 Ki units, and the rest is repeated to fill it, so that a short input reaches past
// every piece and puts a pair across each edge in turn.
#include "core/stylesheet.h"
#include "windows/qttext.h"

#include <QList>
#include <QString>

#include <array>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

constexpr std::array<char16_t, 16> units{0x2029, 0x2028, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF,
                                         0xD800, 0xDC00, 0x00E9, 0x20AC, 0x6F22, 0x0081,
                                         0x00A0, 0xFFFD, u'\r',  u'\n'};

// Windows-1252 leaves five bytes undefined, so it never writes them.
constexpr std::string_view undefinedBytes = "\x81\x8D\x8F\x90\x9D";

// One byte a character; ASCII and Latin-1 beyond the C1 range as they are, everything else
// a byte of 0x80 to 0x9F that the code page defines, or "?".
void checkCodePage(const std::string& bytes, const QList<uint>& characters)
{
    check(bytes.size() == static_cast<std::size_t>(characters.size()));
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const uint c = characters[i];
        const auto b = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            check(b == c);
        else
            check(b == '?' || (b >= 0x80 && b <= 0x9F &&
                               undefinedBytes.find(char(b)) == std::string_view::npos && c > 0xFF));
    }
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
    // Each lone surrogate is one U+FFFD, as Qt reads it when it counts characters.
    const QList<uint> characters = lines.toUcs4();
    const QByteArray expected =
        "kept" + QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                                   characters.size())
                     .toUtf8();
    check(utf8 == std::string_view(expected.constData(), std::size_t(expected.size())));

    checkCodePage(rulecraft::toWindows1252(utf8.substr(4)), characters);
    return 0;
}
