// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The common dialog component: one object, owned by the main window, that shows the modal
// Save As, Open and Colour dialogs, the program's warnings and its one question. A command asks
// with a request and gets the choice back, or nothing when the user cancelled; the file name and
// the colour carry over from one use to the next.

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <optional>

class QWidget;

namespace rulecraft::windows {

class CommonDialog : public QObject {
    Q_OBJECT

public:
    enum class Flag {
        ColorInit = 0x1,       // Colour: open with Color selected
        OverwritePrompt = 0x2, // Save As: ask before replacing a file
        PathMustExist = 0x800, // Save As: the folder must exist
    };
    Q_DECLARE_FLAGS(Flags, Flag)

    struct SaveRequest {
        Flags flags;
        // Qt's name filters: each a description that ends in its patterns in parentheses.
        QStringList filters;
    };

    // Answers given instead of a person, for tests: each dialog takes the next answer
    // (nothing is Cancel; no answer left is Cancel too) and each message is kept, not shown.
    struct Script {
        std::deque<std::optional<QString>> saves;
        std::deque<std::optional<QString>> opens;
        std::deque<bool> confirmations; // true is the question's yes
        std::deque<std::optional<std::uint32_t>> colours;
        QStringList messages;
    };

    explicit CommonDialog(QObject* parent);

    QString FileName;
    std::uint32_t Color = 0; // as colourToHex reads it

    std::optional<QString> ShowSave(QWidget* owner, const SaveRequest& request);
    // Qt's Open dialog with Save's file types; FileName is left to the caller, who sets it
    // once the file has been read.
    std::optional<QString> ShowOpen(QWidget* owner, const QStringList& filters);
    std::optional<std::uint32_t> ShowColor(QWidget* owner, Flags flags);
    void warn(QWidget* owner, const QString& text);
    // Asks before something is lost: yes, or the default Cancel.
    bool confirm(QWidget* owner, const QString& text, const QString& yes);

    void setScript(Script* script) { script_ = script; }

private:
    std::optional<QString> scriptedSave(const SaveRequest& request);

    Script* script_ = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CommonDialog::Flags)

} // namespace rulecraft::windows
