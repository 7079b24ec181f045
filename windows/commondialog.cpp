#include "commondialog.h"

#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace rulecraft::windows {

namespace {

// Qt's own file dialog accepts a name in a folder that does not exist; this one can be
// told to refuse it and stay open.
class SaveAsDialog : public QFileDialog {
public:
    SaveAsDialog(QWidget* owner, bool pathMustExist)
        : QFileDialog(owner), pathMustExist_(pathMustExist)
    {
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (pathMustExist_ && !files.isEmpty()) {
            const QFileInfo chosen(files.first());
            if (!chosen.absoluteDir().exists()) {
                QMessageBox::warning(this, windowTitle(),
                                     tr("%1\nThe folder does not exist.\nCheck the path and "
                                        "try again.")
                                         .arg(QDir::toNativeSeparators(chosen.filePath())));
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool pathMustExist_;
};

// Qt reads a filter's patterns from the parentheses at the end of its text.
QString nameFilter(const CommonDialog::FilterEntry& entry)
{
    const QString description = entry.description.trimmed();
    if (description.endsWith(QLatin1Char('(') + entry.pattern + QLatin1Char(')')))
        return description;
    return description + QLatin1String(" (") + entry.pattern + QLatin1Char(')');
}

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

} // namespace

CommonDialog::CommonDialog(QObject* parent) : QObject(parent) {}

QList<CommonDialog::FilterEntry> CommonDialog::parseFilter(const QString& filter)
{
    QList<FilterEntry> entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append({parts[i], parts[i + 1]});
    return entries;
}

void CommonDialog::setNextAnswer(const Answer& answer)
{
    nextAnswer_ = answer;
}

bool CommonDialog::finish(bool confirmed) const
{
    return confirmed || !CancelError;
}

std::optional<CommonDialog::Answer> CommonDialog::takeNextAnswer()
{
    return std::exchange(nextAnswer_, std::nullopt);
}

bool CommonDialog::ShowSave(QWidget* owner)
{
    if (const auto answer = takeNextAnswer()) {
        if (answer->confirmed)
            FileName = answer->fileName;
        return finish(answer->confirmed);
    }

    SaveAsDialog dialog(owner, Flags & PathMustExist);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Flags & OverwritePrompt));
    QStringList filters;
    for (const FilterEntry& entry : parseFilter(Filter))
        filters.append(nameFilter(entry));
    dialog.setNameFilters(filters);
    startAt(dialog, FileName);

    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (confirmed)
        FileName = dialog.selectedFiles().constFirst();
    return finish(confirmed);
}

bool CommonDialog::ShowColor(QWidget* owner)
{
    if (const auto answer = takeNextAnswer()) {
        if (answer->confirmed)
            Color = answer->color;
        return finish(answer->confirmed);
    }

    QColorDialog dialog(owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (Flags & ColorInit)
        dialog.setCurrentColor(toQColor(Color));
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    if (confirmed)
        Color = fromQColor(dialog.selectedColor());
    return finish(confirmed);
}

} // namespace rulecraft::windows
