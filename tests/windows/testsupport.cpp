#include "testsupport.h"

#include "controls.h"
#include "instances.h"
#include "stylesheet.h"

#include <QComboBox>
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

frmMain& startProgram()
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
    if (!QTest::qWaitForWindowExposed(&main))
        qFatal("main window not exposed");
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

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton);
}

void typeText(QWidget* control, const QString& text)
{
    QWidget* target = control->focusProxy() ? control->focusProxy() : control;
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
}

bool hasFocus(QWidget* control)
{
    // The window's own focus, which it has whether or not the platform activated it yet.
    QWidget* focused = control->window()->focusWidget();
    return focused && (focused == control || control->isAncestorOf(focused));
}

CommonDialog& commonDialog()
{
    return *control<CommonDialog>(window("frmMain"), "CDone");
}

void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis)
{
    auto* poll = new QTimer(qApp);
    QPointer<QWidget> skip(notThis);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action, skip, notThis] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && (notThis == nullptr || modal != skip.data())) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start(20);
}

QStringList tabOrder(QWidget* window, QWidget* first)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    first->setFocus(Qt::TabFocusReason);
    // An editable drop-down list passes the focus to its line edit.
    const auto focusedControl = [] {
        QWidget* focused = QApplication::focusWidget();
        if (focused && qobject_cast<QComboBox*>(focused->parentWidget()))
            return focused->parentWidget();
        return focused;
    };
    QStringList order{focusedControl() ? focusedControl()->objectName() : QString()};
    for (int step = 0; step < 64; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = focusedControl();
        if (!now || now == first)
            break;
        order << now->objectName();
    }
    return order;
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
