// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/controls.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace rulecraft::windows {

namespace {

// The frame a window manager gives this program's windows, as far as it is known yet: the
// main window's, once it has one.
QMargins knownFrame()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->frameGeometry() != window->geometry())
            return {window->geometry().left() - window->frameGeometry().left(),
                    window->geometry().top() - window->frameGeometry().top(),
                    window->frameGeometry().right() - window->geometry().right(),
                    window->frameGeometry().bottom() - window->geometry().bottom()};
    }
    return {};
}

// Moves a rectangle up or left only as far as it must to lie inside the room, and never
// past the room's top-left corner.
QRect keptInside(QRect place, const QRect& room)
{
    place.moveLeft(std::clamp(place.left(), room.left(),
                              std::max(room.left(), room.right() + 1 - place.width())));
    place.moveTop(std::clamp(place.top(), room.top(),
                             std::max(room.top(), room.bottom() + 1 - place.height())));
    return place;
}

} // namespace

void placeClientArea(QWidget* window, const QRect& area)
{
    QRect place = area;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        place = keptInside(area, screen->availableGeometry() - knownFrame());
    // setGeometry places the client area; move() would place the frame.
    window->setGeometry(place);
}

bool keepFrameInsideScreen(QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QScreen* screen = window->screen();
    if (frame == window->geometry() || !screen)
        return false;
    if (const QRect inside = keptInside(frame, screen->availableGeometry()); inside != frame)
        window->move(inside.topLeft());
    return true;
}

void placeFixedClientArea(QWidget* window, const QRect& area)
{
    window->setFixedSize(area.size());
    placeClientArea(window, area);
}

namespace {

// A line edit takes 32767 characters unless told otherwise; no box here has a limit.
constexpr int noLengthLimit = std::numeric_limits<int>::max();

// Labels are spoken by their captions, buttons too unless named; boxes are given a name.
template <typename Control>
Control* placed(Control* control, const char* name, const QRect& place,
                const QString& spokenName = QString())
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(place);
    if (!spokenName.isEmpty())
        control->setAccessibleName(spokenName);
    return control;
}

// Enter presses the focused button, as Space does. Qt's own buttons take Enter only as a
// dialog's default button, and these windows have none.
// Qt also lets an active tool window's keys reach the window-wide access keys of the window
// that owns it, so the main window's Alt keys would act from every other window; a button
// here takes its access key only while its own window is the active one.
class Button : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Shortcut && QApplication::activeWindow() != window())
            return true;
        return QPushButton::event(event);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
            click();
        else
            QPushButton::keyPressEvent(event);
    }
};

} // namespace

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place, const QString& spokenName)
{
    auto* button = placed(new Button(caption, parent), name, place, spokenName);
    // No button is ever a default button, not even while it has the focus.
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* label = placed(new QLabel(caption, parent), name, place);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const QRect& place,
                       const QString& spokenName)
{
    auto* box = placed(new QLineEdit(parent), name, place, spokenName);
    box->setMaxLength(noLengthLimit);
    return box;
}

QPlainTextEdit* makeTextArea(QWidget* parent, const char* name, const QRect& place,
                             const QString& spokenName)
{
    return placeTextArea(new QPlainTextEdit(parent), name, place, spokenName);
}

QPlainTextEdit* placeTextArea(QPlainTextEdit* box, const char* name, const QRect& place,
                              const QString& spokenName)
{
    placed(box, name, place, spokenName);
    box->setTabChangesFocus(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return box;
}

QComboBox* makeDropDown(QWidget* parent, const char* name, const QRect& place,
                        const QString& spokenName)
{
    auto* box = placed(new QComboBox(parent), name, place, spokenName);
    box->setEditable(true);
    box->lineEdit()->setAccessibleName(spokenName);
    box->lineEdit()->setMaxLength(noLengthLimit);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    return box;
}

void setTabChain(QWidget* window, std::initializer_list<const char*> names)
{
    QWidget* previous = nullptr;
    for (const char* name : names) {
        auto* control = window->findChild<QWidget*>(QLatin1String(name));
        Q_ASSERT_X(control, "setTabChain", name);
        if (previous && control)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

} // namespace rulecraft::windows
