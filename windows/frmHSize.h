// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QComboBox;

namespace rulecraft::windows {

// Asks for a heading size; the rule editor then opens for that heading.
class frmHSize : public QWidget {
    Q_OBJECT

public:
    explicit frmHSize(QWidget* parent);

signals:
    // The chosen tag is the current one; the owner opens the rule editor for it.
    void tagChosen();

private:
    void Form_Load();
    void Command1_Click();

    QComboBox* cmbH = nullptr;
};

} // namespace rulecraft::windows
