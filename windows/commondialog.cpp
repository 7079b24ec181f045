// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/commondialog.h"

#include "core/stylesheet.h"
#include "windows/qttext.h"
#include "windows/session.h"

#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace rulecraft::windows {

namespace {

// What keeps a path from being saved, said for the user; empty when nothing does.
QString pathRefusal(const QString& path)
{
    const std::string_view problem =
        pathProblemText(pathProblem(QFile::encodeName(path).toStdString()));
    if (problem.empty())
        return {};
    return QDir::toNativeSeparators(path) + QLatin1Char('\n') + toQt(problem);
}

// Qt's own file dialog accepts a name in a folder that does not exist; this one can be
// told to refuse it and stay open.
class SaveAsDialog : public QFileDialog {
public:
    SaveAsDialog(QWidget* owner, CommonDialog& messages, bool pathMustExist)
        : QFileDialog(owner), messages_(messages), pathMustExist_(pathMustExist)
    {
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (pathMustExist_ && !files.isEmpty()) {
            if (const QString refusal = pathRefusal(files.first()); !refusal.isEmpty()) {
                messages_.warn(this, refusal);
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    CommonDialog& messages_;
    bool pathMustExist_;
};

// The previous path, or, when its folder is gone, the nearest folder that still exists
// with the previous name.
void startAt(QFileDialog& dialog, const QString& previous)
{
    if (previous.isEmpty())
        return;
    const QFileInfo info(previous);
    QDir folder = info.absoluteDir();
    while (!folder.exists() && folder.cdUp()) {
    }
    if (!folder.exists())
        folder = QDir::home();
    dialog.setDirectory(folder);
    dialog.selectFile(info.fileName());
}

// The filter whose files include the previous one's, else the stylesheets': an Open that
// started on the first filter, text files, would hide the very files it is for.
QString filterShowing(const QStringList& filters, const QString& previous)
{
    const auto matching = [&filters](const QString& suffix) {
        for (const QString& filter : filters) {
            if (filter.contains(QStringLiteral("(*.%1)").arg(suffix), Qt::CaseInsensitive))
                return filter;
        }
        return QString();
    };
    const QString suffix = QFileInfo(previous).suffix();
    const QString shown = suffix.isEmpty() ? QString() : matching(suffix);
    return shown.isEmpty() ? matching(QStringLiteral("css")) : shown;
}

QColor toQColor(std::uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::uint32_t fromQColor(const QColor& colour)
{
    return static_cast<std::uint32_t>(colour.red()) |
           static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

template <typename T> std::optional<T> takeFirst(std::deque<std::optional<T>>& answers)
{
    if (answers.empty())
        return std::nullopt;
    std::optional<T> answer = answers.front();
    answers.pop_front();
    return answer;
}

// A window manager may activate another window once a modal dialog has gone (openbox picks
// the main window over the editor that asked for a colour), and the next keys would land
// there; the window that opened the dialog takes them again.
void giveKeysBack(QWidget* owner)
{
    if (owner && owner->isVisible())
        owner->activateWindow();
}

} // namespace

CommonDialog::CommonDialog(QObject* parent) : QObject(parent) {}

void CommonDialog::warn(QWidget* owner, const QString& text)
{
    if (script_) {
        script_->messages.append(text);
        return;
    }
    // A warning may name a path or an address to open by hand: it can be selected and copied.
    QMessageBox box(QMessageBox::Warning, tr("Rulecraft"), text, QMessageBox::Ok, owner);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    giveKeysBack(owner);
}

// Like the real dialog, a refused path leaves the dialog open for the next answer.
std::optional<QString> CommonDialog::scriptedSave(const SaveRequest& request)
{
    while (std::optional<QString> path = takeFirst(script_->saves)) {
        const QString refusal =
            request.flags & Flag::PathMustExist ? pathRefusal(*path) : QString();
        if (refusal.isEmpty())
            return path;
        warn(nullptr, refusal);
    }
    return std::nullopt;
}

std::optional<QString> CommonDialog::ShowSave(QWidget* owner, const SaveRequest& request)
{
    std::optional<QString> chosen;
    if (script_) {
        chosen = scriptedSave(request);
    } else {
        Session::keepNoSettings();
        SaveAsDialog dialog(owner, *this, request.flags & Flag::PathMustExist);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         !(request.flags & Flag::OverwritePrompt));
        dialog.setNameFilters(request.filters);
        startAt(dialog, FileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
        giveKeysBack(owner);
    }
    if (chosen)
        FileName = *chosen;
    return chosen;
}

std::optional<QString> CommonDialog::ShowOpen(QWidget* owner, const QStringList& filters)
{
    if (script_)
        return takeFirst(script_->opens);
    Session::keepNoSettings();
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filterShowing(filters, FileName));
    startAt(dialog, FileName);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    giveKeysBack(owner);
    if (!chosen)
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool CommonDialog::confirm(QWidget* owner, const QString& text, const QString& yes)
{
    if (script_) {
        script_->messages.append(text);
        if (script_->confirmations.empty())
            return false;
        const bool answer = script_->confirmations.front();
        script_->confirmations.pop_front();
        return answer;
    }
    QMessageBox box(QMessageBox::Question, tr("Rulecraft"), text, QMessageBox::NoButton, owner);
    QPushButton* replace = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    giveKeysBack(owner);
    return box.clickedButton() == replace;
}

std::optional<std::uint32_t> CommonDialog::ShowColor(QWidget* owner, Flags flags)
{
    std::optional<std::uint32_t> chosen;
    if (script_) {
        chosen = takeFirst(script_->colours);
    } else {
        Session::keepNoSettings();
        QColorDialog dialog(owner);
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (flags & Flag::ColorInit)
            dialog.setCurrentColor(toQColor(Color));
        if (dialog.exec() == QDialog::Accepted)
            chosen = fromQColor(dialog.selectedColor());
        giveKeysBack(owner);
    }
    if (chosen)
        Color = *chosen;
    return chosen;
}

} // namespace rulecraft::windows
