#include "testsupport.h"

#include "controls.h"
#include "declarationsbox.h"
#include "stylesheet.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

// Inputs far beyond ordinary use: nothing is cut, nothing crashes, the output is exact.
class tst_Large : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        startProgram();
        QVERIFY(dir.isValid());
    }
    void cleanup() { QVERIFY(closeEverything()); }

    void fiftyMegabytesPastedAreSavedExactly();
    void megabyteSelectorIsKeptWhole();
    void holderOfHundredThousandDeclarations();

private:
    QByteArray save()
    {
        const QString path = dir.filePath(QStringLiteral("large.css"));
        commonDialog().setNextAnswer({true, path, 0});
        click(window("frmMain"), "cmdSave");
        return fileBytes(path);
    }

    QTemporaryDir dir;
};

void tst_Large::fiftyMegabytesPastedAreSavedExactly()
{
    // Lines of every kind of line break, with characters of one and of several bytes.
    const QString line = QStringLiteral("p.x { color:#ABCDEF; content: \"\u00e9\u20ac\u6f22\"; }");
    const QStringList breaks{"\n", "\r\n", "\r"};
    QString pasted;
    QByteArray expected;
    const QByteArray lineBytes = "p.x { color:#ABCDEF; content: \"\xE9\x80?\"; }\r\n";
    for (int i = 0; expected.size() < 50 * 1024 * 1024; ++i) {
        pasted += line + breaks[i % 3];
        expected += lineBytes;
    }
    QApplication::clipboard()->setText(pasted);
    auto* custom = control<QPlainTextEdit>(window("frmMain"), "tBlank");
    custom->paste();

    QCOMPARE(save(), expected + "\r\n\r\n");
}

void tst_Large::megabyteSelectorIsKeptWhole()
{
    const QString selector = QStringLiteral("div.a ").repeated(1024 * 1024 / 6);
    click(window("frmMain"), "cmdCustom");
    auto* name = control<QLineEdit>(window("frmCustom"), "txtName");
    QApplication::clipboard()->setText(selector);
    name->paste();
    QCOMPARE(name->text().size(), selector.size());
    click(window("frmCustom"), "Command1");
    click(window("frmSelection"), "cAColor");
    click(window("frmSelection"), "cmdAddSelection");

    QCOMPARE(save(), selector.toLatin1() + " { color:;  }\r\n\r\n\r\n");
}

void tst_Large::holderOfHundredThousandDeclarations()
{
    click(window("frmMain"), "cmdTD");
    QWidget* editor = window("frmSelection");
    auto* add = control<QPushButton>(editor, "cAMargin");
    for (int i = 0; i < 100000; ++i)
        add->click();
    QCOMPARE(control<DeclarationsBox>(editor, "txtHolder")->text().size(),
             100000 * std::string_view("margin: ; ").size());
    click(editor, "cmdAddSelection");

    QByteArray expected = "td { ";
    for (int i = 0; i < 100000; ++i)
        expected += "margin: ; ";
    QCOMPARE(save(), expected + " }\r\n\r\n\r\n");
}

QTEST_MAIN(tst_Large)
#include "tst_large.moc"
