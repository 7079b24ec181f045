// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace rulecraft {
enum class PropertyGroup;
}

namespace rulecraft::windows {

class DeclarationsBox;

// The rule editor: seven property rows whose Add buttons collect declarations in the
// holder, and Add Selection, which commits the rule into the main window.
class frmSelection : public QWidget {
    Q_OBJECT

public:
    explicit frmSelection(QWidget* parent);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        PropertyGroup group;
        QComboBox* subProperty; // none for the colour row
        QLineEdit* value;
    };

    void Form_Load();
    void addDeclaration(const Row& row);
    void txtHolder_Change();
    void cmdAddSelection_Click();
    void cmdSelColor_Click();
    void storeSelection(const std::string& key, const std::string& declarations);
    // Tells the main window the rule as Add Selection would commit it now.
    void announceRule();

    void buildPropertyRows();
    void buildColourRow();

    std::vector<Row> rows_;
    // The opener and closer of the tag captured with EditKey, so that the rule written
    // matches the heading the user sees and the section it is filed in.
    std::string editOpen_;
    std::string editClose_;
    DeclarationsBox* txtHolder = nullptr;
    QPushButton* cmdAddSelection = nullptr;
    QLineEdit* tColor = nullptr;
};

} // namespace rulecraft::windows
