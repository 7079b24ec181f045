// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace rulecraft::windows {

// Names the program and its version, with the credits.
class frmAbout : public QWidget {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent);

    static const char* const credits;

private:
    void Form_Load();
};

} // namespace rulecraft::windows
