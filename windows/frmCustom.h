// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;

namespace rulecraft::windows {

// Asks for a custom selector; the rule editor then opens for it.
class frmCustom : public QWidget {
    Q_OBJECT

public:
    explicit frmCustom(QWidget* parent);

signals:
    // The chosen tag is the current one; the owner opens the rule editor for it.
    void tagChosen();

private:
    void Command1_Click();

    QLineEdit* txtName = nullptr;
};

} // namespace rulecraft::windows
