#pragma once

// Building blocks shared by the windows: twips geometry, the controls at their designed
// places, and text that crosses between Qt and the core.

#include <QRect>
#include <QString>

#include <initializer_list>
#include <string>
#include <string_view>

class QComboBox;
class QFont;
class QIcon;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace rulecraft::windows {

// Designed positions are in twips: 15 to a pixel at 96 dpi. Qt scales pixels further on
// high-dpi screens.
constexpr int twipsPerPixel = 15;
constexpr int twips(int value)
{
    return value / twipsPerPixel;
}
QRect twipsRect(int left, int top, int width, int height);

// A fixed tool window: small title bar with a close box, no taskbar entry.
constexpr Qt::WindowFlags toolWindowFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Points at 96 dpi, as pixels, so that fonts scale together with the twips geometry.
int pointsToPixels(double points);

// The face the captions were designed for, or the nearest that is installed.
QFont interfaceFont(int pixelSize);
void applyApplicationLook();

// Places a window's client area (not its frame) at a designed place, moved inside the
// screen if the design would put any part of it outside.
void placeClientArea(QWidget* window, const QRect& area);
void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips);
// A fixed-size window at its designed place: the size is the area's.
void placeFixedClientArea(QWidget* window, const QRect& area);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place);
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

QIcon applicationIcon();

// Today's date in the user's short date format, without a time.
QString shortDateToday();

QString toQt(std::string_view utf8);
std::string toCore(const QString& text);

// A text box's text with every line break as CR LF, read from the document's raw text so
// that characters such as a no-break space stay as they are.
std::string boxText(const QPlainTextEdit* box);
void setBoxText(QPlainTextEdit* box, std::string_view text);
// Adds at the end of the box without replacing what it holds.
void appendToBox(QPlainTextEdit* box, std::string_view text);

} // namespace rulecraft::windows
