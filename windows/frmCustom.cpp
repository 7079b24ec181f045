// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmCustom.h"

#include "core/modvar.h"
#include "core/stylesheet.h"
#include "windows/controls.h"
#include "windows/look.h"
#include "windows/qttext.h"
#include "windows/twips.h"

#include <QLineEdit>
#include <QPushButton>

namespace rulecraft::windows {

frmCustom::frmCustom(QWidget* parent) : QWidget(parent, toolWindowFlags)
{
    setObjectName(QStringLiteral("frmCustom"));
    setWindowTitle(QStringLiteral("Custom Tag"));

    // Made before the name box, which is drawn over the label's right part.
    makeLabel(this, "Label1", QStringLiteral("Tag Name:"), twipsRect(120, 120, 1215, 255));
    txtName = makeTextBox(this, "txtName", twipsRect(1080, 120, 3495, 285), tr("Tag name"));
    connect(makeButton(this, "Command1", QStringLiteral("Create"), twipsRect(1680, 480, 1215, 255)),
            &QPushButton::clicked, this, &frmCustom::Command1_Click);
    setTabChain(this, {"txtName", "Command1"});

    placeFixedClientArea(this, twipsRect(165, 6255, 4680, 795));
    txtName->setFocus();
}

void frmCustom::Command1_Click()
{
    const std::string key = toCore(txtName->text());
    setCurrentTag(key, openerFor(key));
    emit tagChosen();
    close();
}

} // namespace rulecraft::windows
