// SPDX-License-Identifier: GPL-3.0-or-later
#include "support.h"

#include "core/modvar.h"
#include "windows/endsignals.h"
#include "windows/instances.h"
#include "windows/look.h"

#include <QFile>
#include <QKeyEvent>
#include <QPushButton>

namespace rulecraft::windows::test {

frmMain& startProgram(CommonDialog::Script* script)
{
    // The headless platform says so each time a window is raised; that is not news.
    static const QtMessageHandler passOn = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith("This plugin does not support"))
                passOn(type, context, text);
        });
    modVar = {};
    applyApplicationLook();
    frmMain& main = openWindow<frmMain>(nullptr);
    endOnTerminationSignals();
    main.commonDialog().setScript(script);
    if (!QTest::qWaitForWindowExposed(&main))
        QTest::qFail("the main window is not shown", __FILE__, __LINE__);
    return main;
}

QWidget* window(const char* name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void missing(const char* name)
{
    QTest::qFail(qPrintable(QStringLiteral("no control %1").arg(name)), __FILE__, __LINE__);
}

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton);
}

void typeText(QWidget* control, const QString& text)
{
    QWidget* target = control->focusProxy() ? control->focusProxy() : control;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, length));
        QApplication::sendEvent(target, &press);
        i += length - 1;
    }
}

bool hasFocus(QWidget* control)
{
    // The window's own focus, which it has whether or not the platform activated it yet.
    QWidget* focused = control->window()->focusWidget();
    return focused && (focused == control || control->isAncestorOf(focused));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool closeEverything()
{
    if (QWidget* main = window("frmMain"))
        main->close();
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->close();
    return QTest::qWaitFor([] { return QApplication::topLevelWidgets().isEmpty(); }, 5000);
}

} // namespace rulecraft::windows::test
