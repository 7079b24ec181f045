#pragma once

#include <QWidget>

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

    void buildPropertyRows();
    void buildColourRow();

    std::vector<Row> rows_;
    DeclarationsBox* txtHolder = nullptr;
    QPushButton* cmdAddSelection = nullptr;
    QLineEdit* tColor = nullptr;
};

} // namespace rulecraft::windows
