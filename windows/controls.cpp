#include "controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <limits>

namespace rulecraft::windows {

QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

int pointsToPixels(double points)
{
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont interfaceFont(int pixelSize)
{
    // Liberation Sans and Arimo share Arial's metrics, which the layout was drawn for. The
    // list is resolved when the font is first used, without reading the whole font
    // database at start-up; the sans-serif hint is the last resort.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

namespace {

// On Linux Qt names an editable drop-down list by its current text and leaves the rest to
// label relations; ours speak the name of their row, with the text as their value.
class NamedDropDown : public QAccessibleWidget {
public:
    explicit NamedDropDown(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* box = static_cast<const QComboBox*>(widget());
        if (kind == QAccessible::Name && !box->accessibleName().isEmpty())
            return box->accessibleName();
        if (kind == QAccessible::Name || kind == QAccessible::Value)
            return box->currentText();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = static_cast<const QComboBox*>(widget())->isEditable();
        return state;
    }
};

// Qt asks while the list is still being built, before it has a name, and keeps the answer,
// so the choice rests on what is fixed by then: the window the list belongs to.
QAccessibleInterface* namedDropDowns(const QString& className, QObject* object)
{
    auto* box = qobject_cast<QComboBox*>(object);
    const bool ours =
        box &&
        QByteArray(box->window()->metaObject()->className()).startsWith("rulecraft::windows::");
    return className == QLatin1String("QComboBox") && ours ? new NamedDropDown(box) : nullptr;
}

} // namespace

void applyApplicationLook()
{
    static const bool namesInstalled = [] {
        QAccessible::installFactory(namedDropDowns);
        return true;
    }();
    Q_UNUSED(namesInstalled);
    // One style everywhere, so that the designed geometry looks the same on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(interfaceFont(11));
}

void placeClientArea(QWidget* window, const QRect& area)
{
    QRect place = area;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), visible.left(),
                                  std::max(visible.left(), visible.right() + 1 - place.width())));
        place.moveTop(std::clamp(place.top(), visible.top(),
                                 std::max(visible.top(), visible.bottom() + 1 - place.height())));
    }
    // setGeometry places the client area; move() would place the frame.
    window->setGeometry(place);
}

void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips)
{
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
}

void placeFixedClientArea(QWidget* window, const QRect& area)
{
    window->setFixedSize(area.size());
    placeClientArea(window, area);
}

namespace {

// A line edit takes 32767 characters unless told otherwise; no box here has a limit.
constexpr int noLengthLimit = std::numeric_limits<int>::max();

// Buttons and labels are spoken by their captions; boxes are given a name.
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

} // namespace

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place)
{
    auto* button = placed(new QPushButton(caption, parent), name, place);
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
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

QIcon applicationIcon()
{
    QIcon icon;
    // Enough to stay sharp up to twice the size; each one is decoded at start-up.
    for (int size : {32, 64})
        icon.addFile(QStringLiteral(":/rulecraft/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString shortDateToday()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toCore(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return {utf8.constData(), static_cast<std::size_t>(utf8.size())};
}

std::string boxText(const QPlainTextEdit* box)
{
    QString text = box->document()->toRawText();
    // The document keeps each line break as a paragraph separator (Enter, or a pasted line
    // break of any kind) or a line separator (Shift+Enter).
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return toCore(text);
}

void setBoxText(QPlainTextEdit* box, std::string_view text)
{
    box->setPlainText(toQt(text));
}

void appendToBox(QPlainTextEdit* box, std::string_view text)
{
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(toQt(text));
}

} // namespace rulecraft::windows
