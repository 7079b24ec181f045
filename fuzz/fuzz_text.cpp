// SPDX-License-Identifier: GPL-3.0-or-later
// The text path of a Save, from a box's raw text to the file's bytes, and the reading of a
// line edit, against Qt's own converter and glibc's iconv. After the first, each input byte
// is one UTF-16 unit of the box: ASCII and Latin-1 as they are; 0x80 to 0x9F the character
// Windows-1252 gives the byte (as iconv reads it, the C1 control where it gives none); from 0xF0
// one of the units where conversions break (separators, both halves of a surrogate pair, the edges
// of UTF-8's lengths). Most inputs are that short box, which keeps the search quick; a first byte
// of 0xFF repeats the rest past 64 Ki units, across every edge of the text path's pieces (16 Ki
// units), so that a pair falls across each edge in turn. The writer's pieces of 64 KiB are
// the unit tests' to cross.
// The same bytes are also opened as a file, against Qt's UTF-8 and iconv's Windows-1252, and
// made into six sections of rules whose saved file must open back into them.
#include "core/opening.h"
#include "core/stylesheet.h"
#include "windows/qttext.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include <iconv.h>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

constexpr std::array<char16_t, 16> breaking{0x2029, 0x2028, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF,
                                            0xD800, 0xDC00, 0x00FF, 0x0100, 0x07FF, 0x0800,
                                            0x6F22, 0xFFFD, u'\r',  u'\n'};

// One character through iconv, or fallback where iconv refuses it; a byte comes and goes in
// the lowest byte of a little-endian char32_t.
char32_t through(iconv_t to, char32_t c, std::size_t inSize, std::size_t outSize, char32_t fallback)
{
    char *in = reinterpret_cast<char*>(&c), *out = reinterpret_cast<char*>(&fallback);
    iconv(to, &in, &inSize, &out, &outSize);
    return fallback;
}

const iconv_t fromWindows1252 = iconv_open("WCHAR_T", "CP1252");

QChar unitOf(std::uint8_t b)
{
    if (b >= 0xF0)
        return QChar(breaking[b - 0xF0]);
    return QChar(b >= 0x80 && b < 0xA0 ? char16_t(through(fromWindows1252, b, 1, 4, b)) : b);
}

// Windows-1252 as iconv writes it, "?" where it refuses; asked once a character, since a
// long box repeats a few.
char iconvByte(uint c)
{
    static const iconv_t encoder = iconv_open("CP1252", "WCHAR_T");
    static std::vector<char32_t> known(0x110000);
    return char(known[c] ? known[c] : known[c] = through(encoder, c, 4, 1, '?'));
}

// UTF-8 with each lone surrogate one U+FFFD, as Qt reads a text when it counts characters.
std::string asCharacters(const QList<uint>& characters)
{
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                             characters.size())
        .toUtf8()
        .toStdString();
}

// The text Open should make of bytes without NUL: Qt's UTF-8 where it finds no error, else
// iconv's Windows-1252 with U+FFFD for the bytes it refuses; every line break CR LF.
QString expectedOpenText(QByteArrayView bytes, std::size_t& undefined)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    undefined = 0;
    if (utf8.hasError()) {
        text.clear();
        for (const char b : bytes) {
            const char32_t c = through(fromWindows1252, std::uint8_t(b), 1, 4, 0xFFFD);
            undefined += c == 0xFFFD;
            text += QString::fromUcs4(&c, 1);
        }
    }
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(u'\r', u'\n')
        .replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

// Any bytes open, as the independent readers read them, and every character but a line
// break lands in exactly one section.
void opensLosingNothing(std::string_view bytes)
{
    const rulecraft::DecodedText decoded = rulecraft::decodeStylesheet(bytes);
    check(decoded.ok == (bytes.find('\0') == std::string_view::npos));
    if (!decoded.ok)
        return;
    std::size_t undefined = 0;
    check(decoded.text ==
          expectedOpenText(QByteArrayView(bytes.data(), qsizetype(bytes.size())), undefined)
              .toStdString());
    check(decoded.undefinedBytes == undefined);
    std::array<long, 256> count{};
    for (const char c : decoded.text)
        ++count[std::uint8_t(c)];
    for (const std::string& section : rulecraft::splitIntoSections(decoded.text)) {
        for (const char c : section)
            --count[std::uint8_t(c)];
    }
    count['\r'] = count['\n'] = 0;
    check(count == std::array<long, 256>{});
}

// Pieces of rules, so that a few bytes make sections that route to themselves.
// clang-format off
constexpr std::string_view tokens[] = {
    "body", "a", "a:link", "a:visited", "a:hover", "table", "tr", "td", "hr", "h1", "h6", "h7",
    "p.note", "h1, h2", "@media print", "@import x;", " ", "{", "}", "{ color: red; }\r\n", "\"",
    "'", "/*", "*/", "\\", ";", "\r\n", "\xC3\xA9", "\xE2\x82\xAC", "\xC3\x83\xC2\xA9",
    "\xE6\xBC\xA2", "\r", "\n", "\t", ":", "x", "body { }\r\n", "a:hover { }\r\n", "td { }\r\n",
    "hr { }\r\n", "h3 { }\r\n", "p { }\r\n", "/* c */\r\n"};
// clang-format on
constexpr std::size_t lineBreak = 26, firstWholeRule = 36, comment = 42;

std::string savedFile(const rulecraft::SectionTexts& texts)
{
    rulecraft::MemorySectionSet sections;
    for (std::size_t i = 0; i < texts.size(); ++i)
        sections.replace(rulecraft::Section(i), texts[i]);
    std::string stylesheet, bytes;
    rulecraft::assembleStylesheet(sections, stylesheet);
    rulecraft::forEachFilePiece(stylesheet, [&](std::string_view piece) {
        bytes += piece;
        return true;
    });
    return bytes;
}

rulecraft::SectionTexts opened(std::string_view bytes)
{
    return rulecraft::splitIntoSections(rulecraft::decodeStylesheet(bytes).text);
}

// Six sections, each kept only where it is rules of its own that, saved alone, open back
// into it; then what Save writes for all six opens back into them, and saves the same.
void savedSectionsOpenBack(std::string_view bytes)
{
    rulecraft::SectionTexts texts;
    std::size_t section = 5;
    // A section of whole rules of its own, with comments and blank lines, must come back
    // whatever the check below says: a whole rule goes to its own section.
    std::array<bool, 6> pure{true, true, true, true, true, true};
    for (const char b : bytes) {
        const std::size_t token = std::uint8_t(b) % std::size(tokens);
        if (std::uint8_t(b) >= 0xF8)
            section = (std::uint8_t(b) - 0xF8u) % texts.size();
        else if (token >= firstWholeRule && token < firstWholeRule + texts.size())
            texts[token - firstWholeRule] += tokens[token];
        else
            texts[section] += tokens[token],
                pure[section] = pure[section] && (token == lineBreak || token == comment);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        rulecraft::SectionTexts alone;
        alone[i] = texts[i];
        if (pure[i] && texts[i].ends_with(" }\r\n"))
            continue;
        if (!texts[i].ends_with(rulecraft::crlf) || texts[i].ends_with("\r\n\r\n") ||
            texts[i].find_first_not_of(rulecraft::crlf) == std::string::npos ||
            opened(savedFile(alone)) != alone)
            texts[i].clear();
    }
    const std::string file = savedFile(texts);
    const rulecraft::SectionTexts back = opened(file);
    check(back == texts);
    check(savedFile(back) == file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    opensLosingNothing(input);
    savedSectionsOpenBack(input);
    QString box(qsizetype(size - 1), Qt::Uninitialized);
    for (qsizetype i = 0; i < box.size(); ++i)
        box[i] = unitOf(data[1 + std::size_t(i)]);
    if (data[0] == 0xFF)
        box = box.repeated(64 * 1024 / box.size() + 1);

    std::string utf8 = "kept";
    rulecraft::windows::appendBoxUtf8(box, utf8);
    QString lines = box;
    lines.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"))
        .replace(QChar::LineSeparator, QLatin1String("\r\n"));
    const QList<uint> characters = lines.toUcs4();
    check(utf8 == "kept" + asCharacters(characters));
    // A line edit is read whole, separators and all.
    check(rulecraft::windows::toCore(box) == asCharacters(box.toUcs4()));

    std::string bytes;
    for (const uint c : characters)
        bytes += iconvByte(c);
    check(rulecraft::toWindows1252(utf8.substr(4)) == bytes);
    return 0;
}

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// A long input takes as long as some hundred short ones and reaches new counts of every loop,
// so the corpus would fill with them; one mutation in 128 makes one.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed)
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (size > 0)
        data[0] = seed % 128 == 0 ? 0xFF : data[0] & 0x7F;
    return size;
}
