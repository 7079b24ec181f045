// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/declarationsbox.h"

#include "windows/qttext.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

namespace rulecraft::windows {

namespace {

constexpr int paragraphLength = 100;

} // namespace

DeclarationsBox::DeclarationsBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    document()->setUndoRedoEnabled(false);
}

void DeclarationsBox::append(std::string_view addition)
{
    text_ += addition;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    if (end.block().length() > paragraphLength)
        end.insertBlock();
    end.insertText(toQt(addition));
}

QMimeData* DeclarationsBox::createMimeDataFromSelection() const
{
    QString selected = textCursor().selectedText();
    selected.remove(QChar::ParagraphSeparator);
    auto* data = new QMimeData;
    data->setText(selected);
    return data;
}

} // namespace rulecraft::windows
