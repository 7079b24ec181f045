#include "testsupport.h"

#include "controls.h"
#include "declarationsbox.h"
#include "stylesheet.h"

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_Editor : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }

    void opensEmptyForTheChosenKey();
    void addAppendsDeclarationAndEmptiesItsRow_data();
    void addAppendsDeclarationAndEmptiesItsRow();
    void holderOnlyGrows();
    void tabSkipsDisabledAddSelection();
    void closeWindowCommitsNothing();
    void selectColorFillsValueOrKeepsItOnCancel();
    void secondSelectColorStartsAtTheFirstChoice();
    void tagChosenWhileOpenKeepsEditorAndItsTag();
    void subPropertyBoxTakesTypedTextAsIs();
    void longHolderCopiesAndCommitsWithoutBreaks();

private:
    QWidget* editorFor(const char* tagButton)
    {
        click(window("frmMain"), tagButton);
        QWidget* editor = window("frmSelection");
        if (editor && !QTest::qWaitForWindowExposed(editor))
            return nullptr;
        return editor;
    }
    static QString holder(QWidget* editor)
    {
        return toQt(control<DeclarationsBox>(editor, "txtHolder")->text());
    }
};

void tst_Editor::opensEmptyForTheChosenKey()
{
    QWidget* editor = editorFor("cmdAhover");
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("ahover { PROPERTY : VALUE }"));
    QCOMPARE(control<QLabel>(editor, "Label")->text(),
             QStringLiteral("Editing Tag for: ahover Selector"));
    QCOMPARE(modVar.EditKey, std::string("ahover"));
    QVERIFY(!control<QPushButton>(editor, "cmdAddSelection")->isEnabled());
    QVERIFY(holder(editor).isEmpty());
    QVERIFY(hasFocus(control<QComboBox>(editor, "cFont")));

    for (const GroupInfo& group : propertyGroups()) {
        if (group.subProperties.empty())
            continue;
        auto* box = control<QComboBox>(editor, qPrintable(QLatin1Char('c') + toQt(group.name)));
        QVERIFY2(box->currentText().isEmpty(), box->objectName().toLatin1());
        QStringList entries;
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
        QStringList expected;
        for (std::string_view entry : group.subProperties)
            expected << toQt(entry);
        QCOMPARE(entries, expected);
    }
}

void tst_Editor::addAppendsDeclarationAndEmptiesItsRow_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("subProperty");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("declaration");
    QTest::newRow("margin top") << "Margin"
                                << "-top"
                                << "5px"
                                << "margin-top: 5px; ";
    QTest::newRow("border shorthand") << "Border"
                                      << ""
                                      << "1px solid"
                                      << "border: 1px solid; ";
    QTest::newRow("empty font") << "Font"
                                << ""
                                << ""
                                << "font: ; ";
    QTest::newRow("colour") << "Color"
                            << ""
                            << ""
                            << "color:; ";
    QTest::newRow("typed suffix") << "Background"
                                  << "-clip"
                                  << "text"
                                  << "background-clip: text; ";
}

void tst_Editor::addAppendsDeclarationAndEmptiesItsRow()
{
    QFETCH(QString, row);
    QFETCH(QString, subProperty);
    QFETCH(QString, value);
    QFETCH(QString, declaration);
    QWidget* editor = editorFor("cmdTD");
    const bool colour = row == QLatin1String("Color");
    auto* sub = colour ? nullptr : control<QComboBox>(editor, qPrintable("c" + row));
    auto* valueBox = control<QLineEdit>(editor, qPrintable("t" + row));
    // Another row's typing must survive this row's Add.
    auto* other = control<QLineEdit>(editor, colour ? "tText" : "tColor");
    QTest::keyClicks(other, "keep");
    if (sub)
        QTest::keyClicks(sub, subProperty);
    QTest::keyClicks(valueBox, value);

    click(editor, qPrintable("cA" + row));

    QCOMPARE(holder(editor), declaration);
    QVERIFY(valueBox->text().isEmpty());
    if (sub)
        QVERIFY(sub->currentText().isEmpty());
    QCOMPARE(other->text(), QStringLiteral("keep"));
    QWidget* expectedFocus = sub ? static_cast<QWidget*>(sub) : valueBox;
    QVERIFY(hasFocus(expectedFocus));
    QVERIFY(control<QPushButton>(editor, "cmdAddSelection")->isEnabled());
}

void tst_Editor::holderOnlyGrows()
{
    QWidget* editor = editorFor("cmdA");
    control<QComboBox>(editor, "cBackground")->setCurrentIndex(0);
    QTest::keyClicks(control<QLineEdit>(editor, "tBackground"), "#FF0000");
    click(editor, "cABackground");
    QTest::keyClicks(control<QComboBox>(editor, "cFont"), "-size");
    QTest::keyClicks(control<QLineEdit>(editor, "tFont"), "12px");
    click(editor, "cAFont");
    QCOMPARE(holder(editor), QStringLiteral("background-color: #FF0000; font-size: 12px; "));

    click(editor, "cmdAddSelection");
    QCOMPARE(boxText(control<QPlainTextEdit>(window("frmMain"), "tA")),
             std::string("a { background-color: #FF0000; font-size: 12px;  }\r\n"));
}

void tst_Editor::tabSkipsDisabledAddSelection()
{
    QWidget* editor = editorFor("cmdHR");
    QWidget* first = control<QWidget>(editor, "cFont");
    const QStringList rows{"cFont",       "tFont",       "cAFont",       "cText",     "tText",
                           "cAText",      "cPadding",    "tPadding",     "cAPadding", "cBorder",
                           "tBorder",     "cABorder",    "cMargin",      "tMargin",   "cAMargin",
                           "cBackground", "tBackground", "cABackground", "tColor",    "cAColor"};
    const QStringList whileDisabled = rows + QStringList{"txtHolder", "cmdClose", "cmdSelColor"};
    QCOMPARE(tabOrder(editor, first), whileDisabled);

    click(editor, "cAColor");
    const QStringList enabled =
        rows + QStringList{"cmdAddSelection", "txtHolder", "cmdClose", "cmdSelColor"};
    QCOMPARE(tabOrder(editor, first), enabled);
}

void tst_Editor::closeWindowCommitsNothing()
{
    QWidget* editor = editorFor("cmdBody");
    click(editor, "cAColor");
    click(editor, "cAMargin");
    click(editor, "cmdClose");
    QTRY_VERIFY(!window("frmSelection"));
    for (const char* name : {"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank"})
        QVERIFY(control<QPlainTextEdit>(window("frmMain"), name)->toPlainText().isEmpty());

    editor = editorFor("cmdBody");
    QVERIFY(holder(editor).isEmpty());
    QVERIFY(!control<QPushButton>(editor, "cmdAddSelection")->isEnabled());
}

void tst_Editor::selectColorFillsValueOrKeepsItOnCancel()
{
    QWidget* editor = editorFor("cmdA");
    auto* colour = control<QLineEdit>(editor, "tColor");
    QTest::keyClicks(colour, "navy");

    commonDialog().setNextAnswer({false, QString(), 0x123456});
    click(editor, "cmdSelColor");
    QCOMPARE(colour->text(), QStringLiteral("navy"));
    QCOMPARE(commonDialog().Flags, 1);
    QVERIFY(commonDialog().CancelError);

    commonDialog().setNextAnswer({true, QString(), 0x0A0B0C});
    click(editor, "cmdSelColor");
    QCOMPARE(colour->text(), QStringLiteral("#0C0B0A"));
    QVERIFY(holder(editor).isEmpty());
}

void tst_Editor::secondSelectColorStartsAtTheFirstChoice()
{
    QWidget* editor = editorFor("cmdA");
    auto* colour = control<QLineEdit>(editor, "tColor");

    onNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(255, 0, 0));
        dialog->accept();
    });
    click(editor, "cmdSelColor");
    QCOMPARE(colour->text(), QStringLiteral("#FF0000"));

    QColor offered;
    onNextModal([&offered](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        offered = dialog->currentColor();
        dialog->reject();
    });
    QTest::keyClicks(colour, "x");
    click(editor, "cmdSelColor");
    QCOMPARE(offered, QColor(255, 0, 0));
    QCOMPARE(colour->text(), QStringLiteral("#FF0000x"));
}

void tst_Editor::tagChosenWhileOpenKeepsEditorAndItsTag()
{
    QWidget* editor = editorFor("cmdTD");
    QTest::keyClicks(control<QLineEdit>(editor, "tColor"), "red");
    click(editor, "cAColor");

    QCOMPARE(editorFor("cmdHR"), editor);
    QCOMPARE(modVar.TagKey, std::string("hr"));
    QCOMPARE(control<QLabel>(editor, "Label")->text(),
             QStringLiteral("Editing Tag for: td Selector"));
    QCOMPARE(editor->windowTitle(), QStringLiteral("td { PROPERTY : VALUE }"));
    QCOMPARE(holder(editor), QStringLiteral("color:red; "));

    click(editor, "cmdAddSelection");
    QWidget* main = window("frmMain");
    QCOMPARE(boxText(control<QPlainTextEdit>(main, "tTABLE")),
             std::string("td { color:red;  }\r\n"));
    QVERIFY(control<QPlainTextEdit>(main, "tHR")->toPlainText().isEmpty());
}

void tst_Editor::subPropertyBoxTakesTypedTextAsIs()
{
    QWidget* editor = editorFor("cmdTable");
    auto* margin = control<QComboBox>(editor, "cMargin");
    margin->setFocus();
    QTest::keyClicks(margin, "-to");
    QTest::keyClick(margin, Qt::Key_Return);
    QCOMPARE(margin->currentText(), QStringLiteral("-to"));
    QCOMPARE(margin->count(), 4);
    QVERIFY(holder(editor).isEmpty());
    click(editor, "cAMargin");
    QCOMPARE(holder(editor), QStringLiteral("margin-to: ; "));
}

void tst_Editor::longHolderCopiesAndCommitsWithoutBreaks()
{
    QWidget* editor = editorFor("cmdHR");
    QString expected;
    for (int i = 0; i < 300; ++i) {
        click(editor, "cAColor");
        expected += QStringLiteral("color:; ");
    }
    QCOMPARE(holder(editor), expected);

    auto* box = control<DeclarationsBox>(editor, "txtHolder");
    box->selectAll();
    box->copy();
    QCOMPARE(QApplication::clipboard()->text(), expected);

    click(editor, "cmdAddSelection");
    QCOMPARE(toQt(boxText(control<QPlainTextEdit>(window("frmMain"), "tHR"))),
             QStringLiteral("hr { ") + expected + QStringLiteral(" }\r\n"));
}

QTEST_MAIN(tst_Editor)
#include "tst_editor.moc"
