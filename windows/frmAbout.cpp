// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmAbout.h"

#include "core/modvar.h"
#include "core/stylesheet.h"
#include "windows/controls.h"
#include "windows/look.h"
#include "windows/qttext.h"
#include "windows/twips.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace rulecraft::windows {

const char* const frmAbout::credits =
    "Rulecraft writes Cascading Style Sheets by point and click.\r\n"
    "Choose a tag, collect its declarations, commit the rule into its section,\r\n"
    "and save the stylesheet as a text, HTML or CSS file.\r\n"
    "\r\n"
    "It reads only the stylesheets you open, keeps no settings and writes only the\r\n"
    "file you save. Preview serves a sample page from memory on a local address that\r\n"
    "only your browser is given, until the program ends.\r\n"
    "Written in C++ with Qt 6 Widgets by the Rulecraft developers.\r\n";

frmAbout::frmAbout(QWidget* parent) : QWidget(parent, toolWindowFlags)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Rulecraft About"));
    setWindowIcon(applicationIcon());

    QLabel* version = makeLabel(this, "Label1", QString(), twipsRect(120, 120, 9135, 375));
    version->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = interfaceFont(pointsToPixels(14.25));
    bold.setBold(true);
    version->setFont(bold);

    // Designed 2055 high, which runs 45 twips past the window's bottom edge and hides the
    // box's bottom border; it ends level with the foot of OK instead.
    QPlainTextEdit* text =
        makeTextArea(this, "Text1", twipsRect(120, 720, 8295, 1935), tr("Credits"));
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBoxText(text, credits);
    text->setReadOnly(true);
    // Selectable with the mouse, but Tab goes straight to OK.
    text->setFocusPolicy(Qt::ClickFocus);
    QPalette buttonFace = text->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    text->setPalette(buttonFace);

    QPushButton* ok =
        makeButton(this, "cmdOK", QStringLiteral("OK"), twipsRect(8520, 2400, 735, 255));
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    setFixedSize(twipsRect(0, 0, 9345, 2730).size());
    Form_Load();
    ok->setFocus();
}

void frmAbout::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (!keptInside_)
        keptInside_ = keepFrameInsideScreen(this);
}

void frmAbout::Form_Load()
{
    findChild<QLabel*>(QStringLiteral("Label1"))
        ->setText(QStringLiteral("Rulecraft Version ") + toQt(modVar.AppVersion));
}

} // namespace rulecraft::windows
