#include "testsupport.h"

#include "controls.h"
#include "stylesheet.h"
#include "stylesheetbuffer.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <csignal>

#include <sys/resource.h>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_MainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }

    void startsEmptyWithFocusInBodySection();
    void wholeRoadFromTagsToSavedFile();
    void typedLineBreaksAndNoBreakSpaceAreSavedExactly();
    void saveCancelRebuildsBufferAndKeepsTitle();
    void failedSaveWarnsAndKeepsFileAndTitle_data();
    void failedSaveWarnsAndKeepsFileAndTitle();
    void exitEndsEverythingWithoutCommitting();
    void closeBoxEndsProgramLikeExit();
    void enlargingKeepsControlsInPlace();
    void chooserButtonsKeepOneInstanceWithItsText();

private:
    QWidget* main() const { return window("frmMain"); }
    QPlainTextEdit* section(const char* name) const
    {
        return control<QPlainTextEdit>(main(), name);
    }
    QString saveTo(const QString& path)
    {
        commonDialog().setNextAnswer({true, path, 0});
        click(main(), "cmdSave");
        return main()->windowTitle();
    }
};

void tst_MainWindow::startsEmptyWithFocusInBodySection()
{
    QCOMPARE(main()->windowTitle(), QStringLiteral("Rulecraft V1"));
    QCOMPARE(modVar.AppVersion, std::string("v1"));
    QVERIFY(hasFocus(section("tBody")));
    for (const char* name : {"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank"})
        QVERIFY(section(name)->toPlainText().isEmpty());
    auto* buffer = control<StylesheetBuffer>(main(), "h");
    QVERIFY(buffer->text().empty());
    QVERIFY(!buffer->isVisible());
}

void tst_MainWindow::wholeRoadFromTagsToSavedFile()
{
    // A hover rule with a colour picked in the Colour dialog.
    click(main(), "cmdAhover");
    QWidget* editor = window("frmSelection");
    QVERIFY(editor);
    commonDialog().setNextAnswer({true, QString(), 255});
    click(editor, "cmdSelColor");
    QCOMPARE(control<QLineEdit>(editor, "tColor")->text(), QStringLiteral("#FF0000"));
    click(editor, "cAColor");
    click(editor, "cmdAddSelection");
    QTRY_VERIFY(!window("frmSelection"));

    // A body rule from two rows, one sub-property typed and one picked from the list.
    click(main(), "cmdBody");
    editor = window("frmSelection");
    QTest::keyClicks(control<QComboBox>(editor, "cFont"), "-size");
    QTest::keyClicks(control<QLineEdit>(editor, "tFont"), "12px");
    click(editor, "cAFont");
    control<QComboBox>(editor, "cBackground")->setCurrentIndex(0);
    QTest::keyClicks(control<QLineEdit>(editor, "tBackground"), "#000000");
    click(editor, "cABackground");
    click(editor, "cmdAddSelection");

    // A heading of size 3 and a custom selector.
    click(main(), "cmdH");
    control<QComboBox>(window("frmHSize"), "cmbH")->setCurrentIndex(2);
    click(window("frmHSize"), "Command1");
    editor = window("frmSelection");
    click(editor, "cAMargin");
    click(editor, "cmdAddSelection");

    click(main(), "cmdCustom");
    QTest::keyClicks(control<QLineEdit>(window("frmCustom"), "txtName"), "p.note");
    click(window("frmCustom"), "Command1");
    editor = window("frmSelection");
    QTest::keyClicks(control<QComboBox>(editor, "cText"), "-align");
    QTest::keyClicks(control<QLineEdit>(editor, "tText"), "center");
    click(editor, "cAText");
    click(editor, "cmdAddSelection");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("style.css"));
    const QString title = saveTo(path);
    QCOMPARE(fileBytes(path), QByteArray("body { font-size: 12px; background-color: #000000;  }\r\n"
                                         "\r\n"
                                         "a:hover { color:#FF0000;  }\r\n"
                                         "\r\n"
                                         "h3 { margin: ;  }\r\n"
                                         "\r\n"
                                         "p.note { text-align: center;  }\r\n"
                                         "\r\n"
                                         "\r\n"));
    QCOMPARE(title, QStringLiteral("Rulecraft v1 :: File saved on ") + shortDateToday());
}

void tst_MainWindow::typedLineBreaksAndNoBreakSpaceAreSavedExactly()
{
    QPlainTextEdit* table = section("tTABLE");
    table->setFocus();
    QTest::keyClicks(table, "x");
    QTest::keyClick(table, Qt::Key_Return);
    typeText(table, QString(QChar(0x00A0)) + QStringLiteral("y") + QChar(0x20AC));
    click(main(), "cmdTD");
    click(window("frmSelection"), "cmdClose");
    click(main(), "cmdTD");
    click(window("frmSelection"), "cAColor");
    click(window("frmSelection"), "cmdAddSelection");
    QCOMPARE(boxText(table), std::string("x\r\n\xC2\xA0y\xE2\x82\xAC"
                                         "td { color:;  }\r\n"));

    QTemporaryDir dir;
    saveTo(dir.filePath(QStringLiteral("t.txt")));
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("t.txt"))),
             QByteArray("x\r\n\xA0y\x80td { color:;  }\r\n\r\n\r\n"));
}

void tst_MainWindow::saveCancelRebuildsBufferAndKeepsTitle()
{
    QTest::keyClicks(section("tHR"), "hr {  }");
    commonDialog().setNextAnswer({false, QStringLiteral("/tmp/never-written.css"), 0});
    click(main(), "cmdSave");

    QCOMPARE(control<StylesheetBuffer>(main(), "h")->text(), std::string("hr {  }\r\n"));
    QCOMPARE(main()->windowTitle(), QStringLiteral("Rulecraft V1"));
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/never-written.css")));
    QCOMPARE(commonDialog().Flags, 2050);
    QVERIFY(commonDialog().CancelError);
}

void tst_MainWindow::failedSaveWarnsAndKeepsFileAndTitle_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("target");
    QTest::newRow("read-only file") << "read-only" << QStringLiteral("style.css");
    QTest::newRow("missing folder") << "" << QStringLiteral("missing/style.css");
    QTest::newRow("a folder") << "" << QStringLiteral(".");
    QTest::newRow("write fails part-way") << "size limit" << QStringLiteral("style.css");
}

void tst_MainWindow::failedSaveWarnsAndKeepsFileAndTitle()
{
    QFETCH(QString, fault);
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("style.css"));
    QTest::keyClicks(section("tBody"), "first");
    saveTo(saved);
    const QByteArray firstBytes = fileBytes(saved);
    QCOMPARE(firstBytes, QByteArray("first\r\n\r\n"));
    if (fault == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(saved, QFile::ReadOwner | QFile::ReadGroup));
    main()->setWindowTitle(QStringLiteral("title before"));

    QString warning;
    onNextModal([&warning](QWidget* modal) {
        warning = static_cast<QMessageBox*>(modal)->text();
        static_cast<QMessageBox*>(modal)->accept();
    });
    QTest::keyClicks(section("tBody"), " second");
    const QString path = dir.filePath(target);
    if (fault == QLatin1String("size limit")) {
        // The file opens, then write() fails once it passes 10 bytes.
        rlimit previous{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &previous) == 0);
        const rlimit small{10, previous.rlim_max};
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        saveTo(path);
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, oldHandler);
    } else {
        saveTo(path);
    }

    QVERIFY2(warning.contains(QDir::cleanPath(path)) || warning.contains(path),
             qPrintable(warning));
    QCOMPARE(main()->windowTitle(), QStringLiteral("title before"));
    QCOMPARE(fileBytes(saved), firstBytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"style.css"});
    // The program goes on: the next save to a good place works.
    saveTo(dir.filePath(QStringLiteral("other.css")));
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("other.css"))),
             QByteArray("first second\r\n\r\n"));
}

void tst_MainWindow::exitEndsEverythingWithoutCommitting()
{
    click(main(), "cmdA");
    click(window("frmSelection"), "cAColor");
    click(main(), "cmdAbout");
    click(main(), "cmdExit");
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(modVar.LastRule.empty());
}

void tst_MainWindow::closeBoxEndsProgramLikeExit()
{
    click(main(), "cmdTD");
    click(window("frmSelection"), "cAColor");
    click(main(), "cmdH");
    click(main(), "cmdCustom");
    main()->close();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(modVar.LastRule.empty());
}

void tst_MainWindow::enlargingKeepsControlsInPlace()
{
    const QRect exitPlace = control<QWidget>(main(), "cmdExit")->geometry();
    const QRect sectionPlace = section("tBlank")->geometry();
    main()->resize(1000, 700);
    QTRY_COMPARE(main()->width(), 1000);
    QCOMPARE(control<QWidget>(main(), "cmdExit")->geometry(), exitPlace);
    QCOMPARE(section("tBlank")->geometry(), sectionPlace);
}

void tst_MainWindow::chooserButtonsKeepOneInstanceWithItsText()
{
    click(main(), "cmdCustom");
    QWidget* custom = window("frmCustom");
    QTest::keyClicks(control<QLineEdit>(custom, "txtName"), "div#top ul");
    click(main(), "cmdCustom");
    click(main(), "cmdH");
    click(main(), "cmdH");

    int customs = 0, sizes = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        customs += w->objectName() == QLatin1String("frmCustom");
        sizes += w->objectName() == QLatin1String("frmHSize");
    }
    QCOMPARE(customs, 1);
    QCOMPARE(sizes, 1);
    QCOMPARE(window("frmCustom"), custom);
    QCOMPARE(control<QLineEdit>(custom, "txtName")->text(), QStringLiteral("div#top ul"));

    custom->close();
    QTRY_VERIFY(!window("frmCustom"));
    click(main(), "cmdCustom");
    QVERIFY(control<QLineEdit>(window("frmCustom"), "txtName")->text().isEmpty());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
