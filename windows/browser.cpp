// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/browser.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace rulecraft::windows {

// xdg-open says when it found no browser, where QDesktopServices only says whether it
// could start xdg-open; Qt's way is the fallback where there is no xdg-open.
void openInBrowser(QObject* context, const QUrl& address, const std::function<void()>& cannotOpen)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(address))
            cannotOpen();
        return;
    }
    auto* process = new QProcess(context);
    // No pipes: the browser may outlive the program.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, cannotOpen](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             cannotOpen();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, cannotOpen](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             cannotOpen();
                             process->deleteLater();
                         }
                     });
    process->start(opener, {address.toString()});
}

} // namespace rulecraft::windows
