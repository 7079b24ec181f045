// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QComboBox;

namespace rulecraft::windows {

// Asks for a heading size, then opens the rule editor for that heading.
class frmHSize : public QWidget {
    Q_OBJECT

public:
    explicit frmHSize(QWidget* parent);

private:
    void Form_Load();
    void Command1_Click();

    QComboBox* cmbH = nullptr;
};

} // namespace rulecraft::windows
