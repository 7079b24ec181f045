#include "testsupport.h"

#include <QAccessible>

using namespace rulecraft::windows::test;

class tst_Accessibility : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }

    void everyControlHasASpokenName_data();
    void everyControlHasASpokenName();
    void namesSayWhatAControlIsFor_data();
    void namesSayWhatAControlIsFor();
};

namespace {

QWidget* open(const QString& name, const char* button)
{
    if (button)
        click(window("frmMain"), button);
    return window(qPrintable(name));
}

QString spokenName(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

void tst_Accessibility::everyControlHasASpokenName_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QByteArray>("opener");
    QTest::newRow("main") << "frmMain" << QByteArray();
    QTest::newRow("editor") << "frmSelection" << QByteArray("cmdTD");
    QTest::newRow("heading size") << "frmHSize" << QByteArray("cmdH");
    QTest::newRow("custom tag") << "frmCustom" << QByteArray("cmdCustom");
    QTest::newRow("about") << "frmAbout" << QByteArray("cmdAbout");
}

void tst_Accessibility::everyControlHasASpokenName()
{
    QFETCH(QString, windowName);
    QFETCH(QByteArray, opener);
    QWidget* opened = open(windowName, opener.isEmpty() ? nullptr : opener.constData());
    QVERIFY(opened);
    QCOMPARE(spokenName(opened), opened->windowTitle());

    int controls = 0;
    for (QWidget* control : opened->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control->isWindow() || control->isHidden())
            continue;
        const QString name = spokenName(control);
        QVERIFY2(!name.isEmpty(), qPrintable(control->objectName() + " has no spoken name"));
        QVERIFY2(!name.contains(QLatin1Char('&')), qPrintable(name));
        ++controls;
    }
    QVERIFY(controls >= 3);
}

void tst_Accessibility::namesSayWhatAControlIsFor_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("save") << "frmMain" << QByteArray() << "cmdSave"
                          << "Save";
    QTest::newRow("exit") << "frmMain" << QByteArray() << "cmdExit"
                          << "Exit";
    QTest::newRow("body section") << "frmMain" << QByteArray() << "tBody"
                                  << "body section";
    QTest::newRow("custom section") << "frmMain" << QByteArray() << "tBlank"
                                    << "custom section";
    QTest::newRow("label") << "frmMain" << QByteArray() << "Label6"
                           << "BLANK (customize):";
    QTest::newRow("font list") << "frmSelection" << QByteArray("cmdA") << "cFont"
                               << "Font sub-property";
    QTest::newRow("font value") << "frmSelection" << QByteArray("cmdA") << "tFont"
                                << "Font value";
    QTest::newRow("colour value") << "frmSelection" << QByteArray("cmdA") << "tColor"
                                  << "Color value";
    QTest::newRow("holder") << "frmSelection" << QByteArray("cmdA") << "txtHolder"
                            << "Declarations";
    QTest::newRow("size") << "frmHSize" << QByteArray("cmdH") << "cmbH"
                          << "Heading size";
    QTest::newRow("name") << "frmCustom" << QByteArray("cmdCustom") << "txtName"
                          << "Tag name";
    QTest::newRow("credits") << "frmAbout" << QByteArray("cmdAbout") << "Text1"
                             << "Credits";
}

void tst_Accessibility::namesSayWhatAControlIsFor()
{
    QFETCH(QString, windowName);
    QFETCH(QByteArray, opener);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QWidget* opened = open(windowName, opener.isEmpty() ? nullptr : opener.constData());
    QVERIFY(opened);
    QCOMPARE(spokenName(rulecraft::windows::test::control<QWidget>(opened, qPrintable(control))),
             name);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
