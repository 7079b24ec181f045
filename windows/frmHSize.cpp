// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmHSize.h"

#include "core/modvar.h"
#include "core/stylesheet.h"
#include "windows/controls.h"
#include "windows/look.h"
#include "windows/qttext.h"
#include "windows/twips.h"

#include <QComboBox>
#include <QPushButton>

namespace rulecraft::windows {

frmHSize::frmHSize(QWidget* parent) : QWidget(parent, toolWindowFlags)
{
    setObjectName(QStringLiteral("frmHSize"));
    setWindowTitle(QStringLiteral("H#"));

    makeLabel(this, "Label1", QStringLiteral("Choose Size:"), twipsRect(120, 120, 1215, 255));
    cmbH = makeDropDown(this, "cmbH", twipsRect(1320, 120, 615, 315), tr("Heading size"));
    connect(makeButton(this, "Command1", QStringLiteral("Select"), twipsRect(240, 480, 1215, 255)),
            &QPushButton::clicked, this, &frmHSize::Command1_Click);
    setTabChain(this, {"cmbH", "Command1"});

    placeFixedClientArea(this, twipsRect(5085, 6135, 2010, 855));
    Form_Load();
    cmbH->setFocus();
}

void frmHSize::Form_Load()
{
    for (std::string_view size : headingSizes)
        cmbH->addItem(toQt(size));
    cmbH->setEditText(toQt(headingSizes.front()));
}

void frmHSize::Command1_Click()
{
    const std::string key = headingKey(toCore(cmbH->currentText()));
    setCurrentTag(key, openerFor(key));
    emit tagChosen();
    close();
}

} // namespace rulecraft::windows
