// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controls at their designed places, the order Tab visits them, and windows placed by
// their client area.

#include <QRect>
#include <QString>

#include <initializer_list>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace rulecraft::windows {

// A fixed tool window: small title bar with a close box only, no taskbar entry.
constexpr Qt::WindowFlags toolWindowFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Places a window's client area (not its frame) at a designed place, moved up or left
// inside the screen, frame and all, if the design would put any part of it outside.
void placeClientArea(QWidget* window, const QRect& area);
// Moves a window that the window system placed inside the screen, once its frame is known;
// false while it is not.
bool keepFrameInsideScreen(QWidget* window);
// A fixed-size window at its designed place: the size is the area's.
void placeFixedClientArea(QWidget* window, const QRect& area);

// A button is spoken by its caption unless given a name that tells more, such as which row
// it belongs to.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place, const QString& spokenName = QString());
QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& place);
// Boxes show no caption of their own, so each is given the name a screen reader speaks.
QLineEdit* makeTextBox(QWidget* parent, const char* name, const QRect& place,
                       const QString& spokenName);
// Multi-line plain text with a vertical scroll bar; Tab leaves it.
QPlainTextEdit* makeTextArea(QWidget* parent, const char* name, const QRect& place,
                             const QString& spokenName);
// The same for a box of a kind of its own, already made.
QPlainTextEdit* placeTextArea(QPlainTextEdit* box, const char* name, const QRect& place,
                              const QString& spokenName);
// An editable drop-down list that keeps exactly what the user typed.
QComboBox* makeDropDown(QWidget* parent, const char* name, const QRect& place,
                        const QString& spokenName);

// Sets the order in which Tab moves the focus through a window's controls, by name.
void setTabChain(QWidget* window, std::initializer_list<const char*> names);

} // namespace rulecraft::windows
