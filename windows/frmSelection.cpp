// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmSelection.h"

#include "core/modvar.h"
#include "core/stylesheet.h"
#include "windows/commondialog.h"
#include "windows/controls.h"
#include "windows/declarationsbox.h"
#include "windows/look.h"
#include "windows/qttext.h"
#include "windows/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace rulecraft::windows {

namespace {

constexpr int firstRowTop = 720;
constexpr int rowHeight = 360;
constexpr int colourRowTop = 2880;

std::string rowControlName(std::string_view prefix, std::string_view group)
{
    return std::string(prefix) + std::string(group);
}

} // namespace

frmSelection::frmSelection(QWidget* parent, SectionSet& sections, CommonDialog& dialogs)
    : QWidget(parent, toolWindowFlags), sections_(sections), CDone(dialogs)
{
    setObjectName(QStringLiteral("frmSelection"));

    auto* heading = makeLabel(this, "Label", QString(), twipsRect(120, 120, 6855, 495));
    heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    heading->setFont(interfaceFont(pointsToPixels(13.5)));

    buildPropertyRows();
    buildColourRow();

    cmdAddSelection = makeButton(this, "cmdAddSelection", QStringLiteral("Add Selection"),
                                 twipsRect(240, 3240, 1215, 495));
    cmdAddSelection->setEnabled(false);
    connect(cmdAddSelection, &QPushButton::clicked, this, &frmSelection::cmdAddSelection_Click);

    txtHolder = new DeclarationsBox(this);
    placeTextArea(txtHolder, "txtHolder", twipsRect(1560, 3240, 5415, 3855), tr("Declarations"));
    // Read-only, but still reached by Tab and selectable from the keyboard for copying.
    txtHolder->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtHolder->setFocusPolicy(Qt::StrongFocus);
    connect(txtHolder, &QPlainTextEdit::textChanged, this, &frmSelection::txtHolder_Change);

    connect(makeButton(this, "cmdClose", QStringLiteral("Close Window"),
                       twipsRect(240, 6480, 1215, 495)),
            &QPushButton::clicked, this, &QWidget::close);

    setTabChain(this, {"cFont",           "tFont",       "cAFont",       "cText",      "tText",
                       "cAText",          "cPadding",    "tPadding",     "cAPadding",  "cBorder",
                       "tBorder",         "cABorder",    "cMargin",      "tMargin",    "cAMargin",
                       "cBackground",     "tBackground", "cABackground", "tColor",     "cAColor",
                       "cmdAddSelection", "txtHolder",   "cmdClose",     "cmdSelColor"});

    placeFixedClientArea(this, twipsRect(7905, 3780, 7035, 7095));
    Form_Load();
    rows_.front().subProperty->setFocus();
}

void frmSelection::buildPropertyRows()
{
    int top = firstRowTop;
    int labelNumber = 8;
    for (const GroupInfo& group : propertyGroups()) {
        if (group.group == PropertyGroup::Color)
            continue;
        const std::string name(group.labelStem);
        makeLabel(this, ("Label" + std::to_string(labelNumber--)).c_str(),
                  toQt(name) + QLatin1Char(':'), twipsRect(120, top, 1215, 285));
        QComboBox* subProperty =
            makeDropDown(this, rowControlName("c", name).c_str(), twipsRect(1440, top, 1965, 315),
                         toQt(name) + tr(" sub-property"));
        QLineEdit* value = makeTextBox(this, rowControlName("t", name).c_str(),
                                       twipsRect(3480, top, 2895, 285), toQt(name) + tr(" value"));
        rows_.push_back({group.group, subProperty, value});
        // Seven buttons read "Add"; the spoken name says which row each one adds.
        QPushButton* add =
            makeButton(this, rowControlName("cA", name).c_str(), QStringLiteral("Add"),
                       twipsRect(6480, top, 495, 255), tr("Add ") + toQt(name));
        connect(add, &QPushButton::clicked, this,
                [this, index = rows_.size() - 1] { addDeclaration(rows_[index]); });
        top += rowHeight;
    }
}

void frmSelection::buildColourRow()
{
    makeLabel(this, "Label2", QStringLiteral("Color:"), twipsRect(120, colourRowTop, 1215, 285));
    tColor =
        makeTextBox(this, "tColor", twipsRect(1440, colourRowTop, 2895, 285), tr("Color value"));
    rows_.push_back({PropertyGroup::Color, nullptr, tColor});
    connect(makeButton(this, "cAColor", QStringLiteral("Add"),
                       twipsRect(4440, colourRowTop, 495, 255), tr("Add Color")),
            &QPushButton::clicked, this, [this] { addDeclaration(rows_.back()); });
    connect(makeButton(this, "cmdSelColor", QStringLiteral("Select Color"),
                       twipsRect(5040, colourRowTop, 1215, 255)),
            &QPushButton::clicked, this, &frmSelection::cmdSelColor_Click);
}

void frmSelection::Form_Load()
{
    for (const Row& row : rows_) {
        if (!row.subProperty)
            continue;
        for (std::string_view entry : groupInfo(row.group).subProperties)
            row.subProperty->addItem(toQt(entry));
        // Filling the list selects its first entry; the box starts empty.
        row.subProperty->setCurrentIndex(-1);
        row.subProperty->setEditText(QString());
    }
    modVar.EditKey = modVar.TagKey;
    editOpen_ = modVar.TagOpen;
    editClose_ = modVar.TagClose;
    findChild<QLabel*>(QStringLiteral("Label"))->setText(toQt(editorHeading(modVar.EditKey)));
    setWindowTitle(toQt(editorTitle(modVar.EditKey)));
}

void frmSelection::addDeclaration(const Row& row)
{
    const QString subProperty = row.subProperty ? row.subProperty->currentText() : QString();
    txtHolder->append(declarationText(row.group, toCore(subProperty), toCore(row.value->text())));
    if (row.subProperty)
        row.subProperty->setEditText(QString());
    row.value->clear();
    QWidget* next = row.subProperty ? static_cast<QWidget*>(row.subProperty) : row.value;
    next->setFocus();
}

void frmSelection::txtHolder_Change()
{
    cmdAddSelection->setEnabled(true);
    emit pendingRuleChanged(PendingRule{modVar.EditKey, selectorOf(modVar.EditKey),
                                        ruleText(editOpen_, txtHolder->text(), editClose_)});
}

void frmSelection::closeEvent(QCloseEvent* event)
{
    if (!committed_)
        emit pendingRuleChanged(std::nullopt);
    QWidget::closeEvent(event);
}

void frmSelection::cmdAddSelection_Click()
{
    storeSelection(modVar.EditKey, txtHolder->text());
    close();
}

void frmSelection::storeSelection(const std::string& key, const std::string& declarations)
{
    modVar.LastRule = ruleText(editOpen_, declarations, editClose_);
    fileRule(sections_, key, modVar.LastRule);
    committed_ = true;
    emit ruleCommitted();
}

void frmSelection::cmdSelColor_Click()
{
    if (const std::optional<std::uint32_t> chosen =
            CDone.ShowColor(this, CommonDialog::Flag::ColorInit))
        tColor->setText(toQt(colourToHex(*chosen)));
}

} // namespace rulecraft::windows
