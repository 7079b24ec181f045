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

protected:
    // The window system chooses where it opens; it is kept inside the screen.
    void moveEvent(QMoveEvent* event) override;

private:
    void Form_Load();

    bool keptInside_ = false;
};

} // namespace rulecraft::windows
