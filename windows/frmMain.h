// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/stylesheet.h"

#include <QWidget>

#include <array>
#include <memory>

class QDragEnterEvent;
class QDropEvent;
class QPlainTextEdit;

namespace rulecraft::windows {

class CommonDialog;
class Preview;
class StylesheetBuffer;

// The start-up window: the tag buttons, the six sections of the document, and the Save,
// About, Preview and Exit commands. It owns the common dialog component and the stylesheet
// buffer.
class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent);
    ~frmMain() override;

    SectionSet& sections();
    CommonDialog& commonDialog();
    Preview& preview();
    // Replaces the sections with a stylesheet file, asking first where they hold text no
    // Save or Open wrote; false, with nothing changed, on Cancel or any failure.
    bool openFile(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void chooseTag(const CatalogueTag& tag);
    // Opens the rule editor for the current tag, its pending rule shown by the preview.
    void openEditor();
    void ruleCommitted();
    void cmdH_Click();
    void cmdCustom_Click();
    void cmdSave_Click();
    void cmdOpen_Click();
    bool holdsUnwrittenText() const;
    void markWritten();
    void cmdAbout_Click();
    void showPreview();
    void cmdExit_Click();

    void buildTagColumn();
    void buildSectionColumn();
    void buildCommandColumn();

    std::array<QPlainTextEdit*, sectionCount> sectionBoxes_{};
    std::unique_ptr<SectionSet> sections_;
    StylesheetBuffer* h = nullptr;
    CommonDialog* CDone = nullptr;
    Preview* preview_ = nullptr;
};

} // namespace rulecraft::windows
