// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;

namespace rulecraft::windows {

// Asks for a custom selector, then opens the rule editor for it.
class frmCustom : public QWidget {
    Q_OBJECT

public:
    explicit frmCustom(QWidget* parent);

private:
    void Command1_Click();

    QLineEdit* txtName = nullptr;
};

} // namespace rulecraft::windows
