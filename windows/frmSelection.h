// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/stylesheet.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace rulecraft::windows {

class CommonDialog;
class DeclarationsBox;

// The rule editor: seven property rows whose Add buttons collect declarations in the
// holder, and Add Selection, which commits the rule into the sections it was made with.
class frmSelection : public QWidget {
    Q_OBJECT

public:
    frmSelection(QWidget* parent, SectionSet& sections, CommonDialog& dialogs);

signals:
    // The rule as Add Selection would commit it now; none once the editor closes without
    // committing it.
    void pendingRuleChanged(const std::optional<PendingRule>& rule);
    // The rule is filed in the sections and pending no more.
    void ruleCommitted();

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

    void buildPropertyRows();
    void buildColourRow();

    SectionSet& sections_;
    CommonDialog& CDone;
    std::vector<Row> rows_;
    // The opener and closer of the tag captured with EditKey, so that the rule written
    // matches the heading the user sees and the section it is filed in.
    std::string editOpen_;
    std::string editClose_;
    bool committed_ = false;
    DeclarationsBox* txtHolder = nullptr;
    QPushButton* cmdAddSelection = nullptr;
    QLineEdit* tColor = nullptr;
};

} // namespace rulecraft::windows
