#include "testsupport.h"

#include "controls.h"
#include "declarationsbox.h"
#include "frmAbout.h"
#include "stylesheet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_Choosers : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }

    void headingSizeOpensEditorAndCloses_data();
    void headingSizeOpensEditorAndCloses();
    void customNameIsUsedExactly_data();
    void customNameIsUsedExactly();
    void enterInNameBoxCreatesNothing();
    void closeBoxSetsNoTag();
    void selectWhileEditorOpenOnlyBringsItForward();
    void aboutShowsVersionAndCredits();
    void aboutOpensOnceAndAfreshAfterClosing();
};

void tst_Choosers::headingSizeOpensEditorAndCloses_data()
{
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");
    QTest::newRow("left at 1") << -1 << QString() << "h1";
    QTest::newRow("picked 4") << 3 << QString() << "h4";
    QTest::newRow("typed 7") << -1 << "7"
                             << "h7";
    QTest::newRow("cleared") << -1 << ""
                             << "h";
}

void tst_Choosers::headingSizeOpensEditorAndCloses()
{
    QFETCH(int, listIndex);
    QFETCH(QString, typed);
    QFETCH(QString, key);
    click(window("frmMain"), "cmdH");
    QWidget* sizes = window("frmHSize");
    auto* size = control<QComboBox>(sizes, "cmbH");
    QCOMPARE(size->currentText(), QStringLiteral("1"));
    QCOMPARE(size->count(), 6);
    QVERIFY(hasFocus(size));
    if (listIndex >= 0)
        size->setCurrentIndex(listIndex);
    if (!typed.isNull()) {
        size->clearEditText();
        QTest::keyClicks(size, typed);
    }

    click(sizes, "Command1");
    QCOMPARE(toQt(modVar.TagKey), key);
    QCOMPARE(toQt(modVar.TagOpen), key + QStringLiteral(" { "));
    QWidget* editor = window("frmSelection");
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), key + QStringLiteral(" { PROPERTY : VALUE }"));
    QTRY_VERIFY(!window("frmHSize"));
}

void tst_Choosers::customNameIsUsedExactly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("heading");
    QTest::newRow("class selector") << "p.note"
                                    << "Editing Tag for: p.note Selector";
    QTest::newRow("blanks kept") << " div#top ul "
                                 << "Editing Tag for:  div#top ul  Selector";
    QTest::newRow("empty") << ""
                           << "Editing Tag for:  Selector";
    QTest::newRow("unicode") << QString::fromUtf8("p.café")
                             << QString::fromUtf8("Editing Tag for: p.café Selector");
}

void tst_Choosers::customNameIsUsedExactly()
{
    QFETCH(QString, name);
    QFETCH(QString, heading);
    click(window("frmMain"), "cmdCustom");
    QWidget* custom = window("frmCustom");
    QVERIFY(hasFocus(control<QLineEdit>(custom, "txtName")));
    typeText(control<QLineEdit>(custom, "txtName"), name);
    click(custom, "Command1");

    QCOMPARE(toQt(modVar.TagKey), name);
    QCOMPARE(toQt(modVar.TagOpen), name + QStringLiteral(" { "));
    QCOMPARE(control<QLabel>(window("frmSelection"), "Label")->text(), heading);
    QTRY_VERIFY(!window("frmCustom"));
}

void tst_Choosers::enterInNameBoxCreatesNothing()
{
    click(window("frmMain"), "cmdCustom");
    auto* name = control<QLineEdit>(window("frmCustom"), "txtName");
    QTest::keyClicks(name, "p");
    QTest::keyClick(name, Qt::Key_Return);
    QTest::keyClick(name, Qt::Key_Enter);
    QVERIFY(window("frmCustom"));
    QVERIFY(!window("frmSelection"));
    QVERIFY(modVar.TagKey.empty());
}

void tst_Choosers::closeBoxSetsNoTag()
{
    click(window("frmMain"), "cmdTD");
    click(window("frmSelection"), "cmdClose");
    const std::pair<const char*, const char*> choosers[] = {{"cmdH", "frmHSize"},
                                                            {"cmdCustom", "frmCustom"}};
    for (const auto& [button, name] : choosers) {
        click(window("frmMain"), button);
        QWidget* chooser = window(name);
        QVERIFY(chooser);
        chooser->close();
        QTRY_VERIFY(!window(name));
    }
    QCOMPARE(modVar.TagKey, std::string("td"));
    QVERIFY(!window("frmSelection"));
}

void tst_Choosers::selectWhileEditorOpenOnlyBringsItForward()
{
    click(window("frmMain"), "cmdA");
    QWidget* editor = window("frmSelection");
    click(editor, "cAColor");
    click(window("frmMain"), "cmdH");
    control<QComboBox>(window("frmHSize"), "cmbH")->setCurrentIndex(2);
    click(window("frmHSize"), "Command1");

    QCOMPARE(window("frmSelection"), editor);
    QCOMPARE(modVar.TagKey, std::string("h3"));
    QCOMPARE(modVar.EditKey, std::string("a"));
    QCOMPARE(toQt(control<DeclarationsBox>(editor, "txtHolder")->text()),
             QStringLiteral("color:; "));
    QTRY_VERIFY(!window("frmHSize"));
}

void tst_Choosers::aboutShowsVersionAndCredits()
{
    click(window("frmMain"), "cmdAbout");
    QWidget* about = window("frmAbout");
    QCOMPARE(about->windowTitle(), QStringLiteral("Rulecraft About"));
    QCOMPARE(control<QLabel>(about, "Label1")->text(), QStringLiteral("Rulecraft Version v1"));
    auto* credits = control<QPlainTextEdit>(about, "Text1");
    QVERIFY(credits->isReadOnly());
    // Several lines, each ended by CR LF, the last one too.
    const std::string text = boxText(credits);
    QCOMPARE(text, std::string(frmAbout::credits));
    QVERIFY(text.ends_with("\r\n") && text.find("\r\n") < text.size() - 2);
    QVERIFY(hasFocus(control<QWidget>(about, "cmdOK")));
}

void tst_Choosers::aboutOpensOnceAndAfreshAfterClosing()
{
    click(window("frmMain"), "cmdAbout");
    QWidget* about = window("frmAbout");
    click(window("frmMain"), "cmdAbout");
    QCOMPARE(window("frmAbout"), about);

    // The version line is read when the window is made.
    modVar.AppVersion = "v2";
    click(about, "cmdOK");
    QTRY_VERIFY(!window("frmAbout"));
    click(window("frmMain"), "cmdAbout");
    QCOMPARE(control<QLabel>(window("frmAbout"), "Label1")->text(),
             QStringLiteral("Rulecraft Version v2"));
}

QTEST_MAIN(tst_Choosers)
#include "tst_choosers.moc"
