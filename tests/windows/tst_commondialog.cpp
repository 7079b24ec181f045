#include "testsupport.h"

#include "commondialog.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <optional>

using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_CommonDialog : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        startProgram();
        dir.emplace();
        QVERIFY(dir->isValid());
    }
    void cleanup() { QVERIFY(closeEverything()); }

    void filterTextGivesThreeEntries();
    void saveAsOffersTheThreeFileTypes();
    void replacingAFileAsksFirst_data();
    void replacingAFileAsksFirst();
    void folderThatDoesNotExistIsRefused();
    void nextSaveStartsAtThePreviousPath();
    void nameTypedWithoutExtensionIsKept();

private:
    QWidget* main() const { return window("frmMain"); }
    using ModalAction = std::function<void(QWidget*)>;

    // Answers the Save As dialog with a typed name. onMessage answers a message the dialog
    // shows over itself; after() runs when that is done, with the dialog perhaps still open.
    void typeIntoSaveAs(const QString& name, ModalAction onMessage = {},
                        std::function<void(QFileDialog*)> after = {})
    {
        onNextModal([name, onMessage, after](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            if (onMessage)
                onNextModal(onMessage, dialog);
            static_cast<QDialog*>(dialog)->accept();
            if (after)
                after(dialog);
        });
    }

    // Keeps the text of the message shown over the dialog and answers it with that button.
    static ModalAction answerMessage(QString& text, QMessageBox::StandardButton button)
    {
        return [&text, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            text = box->text();
            box->button(button)->click();
        };
    }

    std::optional<QTemporaryDir> dir; // a fresh folder for each test
};

void tst_CommonDialog::filterTextGivesThreeEntries()
{
    const auto entries = CommonDialog::parseFilter(QStringLiteral(
        "Text Files(*.txt) |*.txt|HTML Files(*.html) |*.html|CSS Files(*.css)|*.css"));
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0].description, QStringLiteral("Text Files(*.txt) "));
    QCOMPARE(entries[0].pattern, QStringLiteral("*.txt"));
    QCOMPARE(entries[1].description, QStringLiteral("HTML Files(*.html) "));
    QCOMPARE(entries[1].pattern, QStringLiteral("*.html"));
    QCOMPARE(entries[2].description, QStringLiteral("CSS Files(*.css)"));
    QCOMPARE(entries[2].pattern, QStringLiteral("*.css"));
}

void tst_CommonDialog::saveAsOffersTheThreeFileTypes()
{
    QStringList offered;
    bool ownDialog = false;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        offered = dialog->nameFilters();
        ownDialog = dialog->testOption(QFileDialog::DontUseNativeDialog);
        dialog->reject();
    });
    click(main(), "cmdSave");
    QCOMPARE(offered, (QStringList{"Text Files(*.txt)", "HTML Files(*.html)", "CSS Files(*.css)"}));
    QVERIFY(ownDialog);
    QCOMPARE(main()->windowTitle(), QStringLiteral("Rulecraft V1"));
}

void tst_CommonDialog::replacingAFileAsksFirst_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_CommonDialog::replacingAFileAsksFirst()
{
    QFETCH(bool, replace);
    const QString path = dir->filePath(QStringLiteral("old.css"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'o'));
    old.close();
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tHR"), "hr {  }");

    QString question;
    bool stayedOpen = false;
    typeIntoSaveAs(path, answerMessage(question, replace ? QMessageBox::Yes : QMessageBox::No),
                   [&](QFileDialog* dialog) {
                       stayedOpen = dialog->isVisible();
                       if (stayedOpen)
                           dialog->reject();
                   });
    click(main(), "cmdSave");

    QVERIFY2(question.contains(QStringLiteral("old.css")), qPrintable(question));
    QCOMPARE(stayedOpen, !replace);
    QCOMPARE(fileBytes(path), replace ? QByteArray("hr {  }\r\n\r\n") : QByteArray(5000, 'o'));
}

void tst_CommonDialog::folderThatDoesNotExistIsRefused()
{
    const QString path = dir->filePath(QStringLiteral("missing/style.css"));
    QString warning;
    bool stayedOpen = false;
    typeIntoSaveAs(path, answerMessage(warning, QMessageBox::Ok), [&](QFileDialog* dialog) {
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    click(main(), "cmdSave");

    QVERIFY2(warning.contains(QStringLiteral("does not exist")), qPrintable(warning));
    QVERIFY(stayedOpen);
    QVERIFY(!QDir(dir->filePath(QStringLiteral("missing"))).exists());
    QCOMPARE(main()->windowTitle(), QStringLiteral("Rulecraft V1"));
}

void tst_CommonDialog::nextSaveStartsAtThePreviousPath()
{
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("sub")));
    typeIntoSaveAs(dir->filePath(QStringLiteral("sub/style.css")));
    click(main(), "cmdSave");
    QVERIFY(QFile::exists(dir->filePath(QStringLiteral("sub/style.css"))));

    const auto offeredStart = [this] {
        QPair<QString, QString> start;
        onNextModal([&start](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            start = {dialog->directory().absolutePath(),
                     dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text()};
            dialog->reject();
        });
        click(main(), "cmdSave");
        return start;
    };
    QCOMPARE(offeredStart(),
             qMakePair(dir->filePath(QStringLiteral("sub")), QStringLiteral("style.css")));

    QVERIFY(QDir(dir->filePath(QStringLiteral("sub"))).removeRecursively());
    QCOMPARE(offeredStart(),
             qMakePair(QDir(dir->path()).absolutePath(), QStringLiteral("style.css")));
}

void tst_CommonDialog::nameTypedWithoutExtensionIsKept()
{
    onNextModal([this](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        dialog->setDirectory(dir->path());
        dialog->selectNameFilter(QStringLiteral("CSS Files(*.css)"));
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), "style");
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdSave");
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"style"});
}

QTEST_MAIN(tst_CommonDialog)
#include "tst_commondialog.moc"
