// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/session.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace {

struct CommandLine {
    QString file;
    int exitStatus = -1; // set where the program ends before its window
};

// Only the program's own options: Qt reads none of these arguments. Parsed before Qt's
// application exists, so that --help works without a display.
CommandLine readCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments.isEmpty())
        arguments.append(QStringLiteral("rulecraft"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes CSS by point and click."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A stylesheet to open."),
                                 QStringLiteral("[file]"));
    // Qt's own options, as a launcher may pass them, are taken and ignored, never refused:
    // Qt is given none of them.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto ignore = [&parser](std::initializer_list<const char*> names, const QString& value) {
        for (const char* name : names) {
            QCommandLineOption ignored(QString::fromLatin1(name), QString(), value);
            ignored.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(ignored);
        }
    };
    ignore({"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
            "qwindowicon", "qwindowtitle", "style", "stylesheet", "session", "display", "geometry",
            "name", "title", "visual", "qmljsdebugger"},
           QStringLiteral("value"));
    ignore({"reverse", "widgetcount", "nograb", "dograb", "sync"}, QString());
    CommandLine line;
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        const QString error = parser.positionalArguments().size() > 1
                                  ? QStringLiteral("Only one file can be opened.")
                                  : parser.errorText();
        std::fprintf(stderr, "rulecraft: %s\nTry 'rulecraft --help'.\n", qPrintable(error));
        line.exitStatus = 2;
    } else if (parser.isSet(help)) {
        // Without an application Qt names no program in the usage line.
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("rulecraft"))),
                   stdout);
        line.exitStatus = 0;
    } else if (parser.isSet(version)) {
        std::printf("rulecraft %s\n", RULECRAFT_VERSION);
        line.exitStatus = 0;
    } else if (!parser.positionalArguments().isEmpty()) {
        line.file = parser.positionalArguments().constFirst();
    }
    return line;
}

} // namespace

int main(int argc, char* argv[])
{
    const CommandLine line = readCommandLine(argc, argv);
    if (line.exitStatus >= 0)
        return line.exitStatus;
    // Qt is given no arguments: no -stylesheet, -style, -platform or -reverse from whoever
    // starts it.
    char fallbackName[] = "rulecraft";
    int argumentCount = 1;
    char* arguments[] = {argv[0] ? argv[0] : fallbackName, nullptr};
    // Made before the application and ended after it, so that nothing Qt writes as it ends
    // lands outside the session's private folder.
    rulecraft::windows::Session session;
    QApplication app(argumentCount, arguments);
    // The desktop entry's name lets a Wayland compositor match the windows to it; the
    // version is the project's, from CMake.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.rulecraft.Rulecraft"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RULECRAFT_VERSION));
    rulecraft::windows::applyApplicationLook();
    auto& window = rulecraft::windows::openWindow<rulecraft::windows::frmMain>(nullptr);
    session.endOnTerminationSignals(&window);
    // Once the window is up, so that a refusal is shown over it.
    if (!line.file.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&window, file = line.file] { window.openFile(file); }, Qt::QueuedConnection);
    return app.exec();
}
