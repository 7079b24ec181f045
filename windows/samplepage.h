// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The preview's sample page: fixed text that shows the catalogue's tags, with an element
// for each simple selector of the custom section. Text only: it reads and writes nothing.

#include <QByteArray>
#include <QString>

#include <string_view>

namespace rulecraft::windows {

// The custom section's part of the page: an element for each of its first distinct
// selectors that can have one, a list of those that cannot, and a count of the rules beyond.
QString customSamples(std::string_view customSection);

// The page from its template, with the stamps it starts from and the custom part.
QByteArray samplePage(const QByteArray& pageTemplate, quint64 sheetVersion, quint64 pageVersion,
                      const QString& samples);

} // namespace rulecraft::windows
