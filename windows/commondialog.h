#pragma once

// The common dialog component: one object, owned by the main window, that shows the
// modal Save As and Colour dialogs. A command sets its properties, shows a dialog and
// reads the result; the file name and the colour carry over from one use to the next.

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

namespace rulecraft::windows {

class CommonDialog : public QObject {
    Q_OBJECT

public:
    // Flag bits the commands set.
    static constexpr int OverwritePrompt = 0x2; // Save As: ask before replacing a file
    static constexpr int PathMustExist = 0x800; // Save As: the folder must exist
    static constexpr int ColorInit = 0x1;       // Colour: open with Color selected

    struct FilterEntry {
        QString description;
        QString pattern;
    };

    // A queued answer that the next dialog gives instead of being shown.
    struct Answer {
        bool confirmed = true;
        QString fileName;
        std::uint32_t color = 0;
    };

    explicit CommonDialog(QObject* parent);

    bool CancelError = false;
    int Flags = 0;
    QString Filter; // "description|pattern|description|pattern..."
    QString FileName;
    std::uint32_t Color = 0; // red in the lowest byte, then green, then blue

    // Each returns false when the user cancelled and CancelError is set: the calling
    // command must end there.
    [[nodiscard]] bool ShowSave(QWidget* owner);
    [[nodiscard]] bool ShowColor(QWidget* owner);

    static QList<FilterEntry> parseFilter(const QString& filter);

    void setNextAnswer(const Answer& answer);

private:
    bool finish(bool confirmed) const;
    std::optional<Answer> takeNextAnswer();

    std::optional<Answer> nextAnswer_;
};

} // namespace rulecraft::windows
