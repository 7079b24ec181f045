// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/look.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTextEdit>

#include <cmath>

namespace rulecraft::windows {

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

bool ours(const QWidget* window)
{
    return QByteArray(window->metaObject()->className()).startsWith("rulecraft::windows::");
}

// Qt asks while the list is still being built, before it has a name, and keeps the answer,
// so the choice rests on what is fixed by then: the window the list belongs to.
QAccessibleInterface* namedDropDowns(const QString& className, QObject* object)
{
    auto* box = qobject_cast<QComboBox*>(object);
    return className == QLatin1String("QComboBox") && box && ours(box->window())
               ? new NamedDropDown(box)
               : nullptr;
}

// A plain widget is spoken as a filler, which a screen reader does not announce when it
// opens. The main window is a frame; the others are its modeless dialogs: owned by it, kept
// out of the taskbar, each asking for something or telling about the program. The name is
// the title, as Qt gives any window.
QAccessibleInterface* windowsAsWindows(const QString&, QObject* object)
{
    auto* window = qobject_cast<QWidget*>(object);
    if (!window || !window->isWindow() || !ours(window))
        return nullptr;
    return new QAccessibleWidget(window, window->parentWidget() ? QAccessible::Dialog
                                                                : QAccessible::Window);
}

// Fusion draws a text box's frame centred on its outermost logical pixels. At a scale such
// as 1.25 or 1.75 the bottom line then falls on a pixel boundary, and the viewport and the
// scroll bar, painted after it and rounded outwards, cover it. Half a pixel inwards the
// line keeps its own pixels at every scale, and at 1x it lands on the same pixels as
// before.
class WholeFrames : public QProxyStyle {
public:
    WholeFrames() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        const bool textBox =
            qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget);
        if (element != PE_Frame || !textBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->translate(0.5, 0.5);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        painter->restore();
    }
};

} // namespace

void applyApplicationLook()
{
    static const bool namesInstalled = [] {
        QAccessible::installFactory(namedDropDowns);
        QAccessible::installFactory(windowsAsWindows);
        return true;
    }();
    Q_UNUSED(namesInstalled);
    // One style everywhere, so that the designed geometry looks the same on every desktop.
    QApplication::setStyle(new WholeFrames);
    QApplication::setFont(interfaceFont(11));
}

QIcon applicationIcon()
{
    QIcon icon;
    // Enough to stay sharp up to twice the size; each one is decoded at start-up.
    for (int size : {32, 64})
        icon.addFile(QStringLiteral(":/rulecraft/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace rulecraft::windows
