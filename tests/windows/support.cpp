// SPDX-License-Identifier: GPL-3.0-or-later
#include "support.h"

#include "core/modvar.h"
#include "windows/instances.h"
#include "windows/look.h"

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace rulecraft::windows::test {

namespace {

QtMessageHandler testLogger = nullptr;

// The headless platform says so each time a window is raised; that is not news.
void quietHeadlessNotices(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (testLogger && !text.startsWith(QLatin1String("This plugin does not support")))
        testLogger(type, context, text);
}

} // namespace

frmMain& startProgram(CommonDialog::Script* script)
{
    // Installed here, after QtTest installed its own logger, which it passes on to.
    static const bool quiet = [] {
        testLogger = qInstallMessageHandler(quietHeadlessNotices);
        return true;
    }();
    Q_UNUSED(quiet);
    modVar = {};
    applyApplicationLook();
    frmMain& main = openWindow<frmMain>();
    main.commonDialog().setScript(script);
    if (!QTest::qWaitForWindowExposed(&main))
        QTest::qFail("main window not exposed", __FILE__, __LINE__);
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

QWidget* missing(const char* name)
{
    QTest::qFail(qPrintable(QStringLiteral("no control %1").arg(QLatin1String(name))), __FILE__,
                 __LINE__);
    return nullptr;
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

std::shared_ptr<bool> onNextModal(std::function<void(QWidget*)> action, QWidget* notThis)
{
    auto ran = std::make_shared<bool>(false);
    auto* poll = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skip(notThis);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && (notThis == nullptr || modal != skip.data());
        if (found || clock->hasExpired(5000)) {
            poll->stop();
            poll->deleteLater();
        }
        if (found) {
            *ran = true;
            action(modal);
        }
    });
    poll->start(20);
    return ran;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
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
