// SPDX-License-Identifier: GPL-3.0-or-later
// What only Qt's real Save As and Colour dialogs show, each once, in a home folder of its
// own: at the end that folder must still be empty, since the program keeps no settings.
#include "support.h"

#include <QColorDialog>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <optional>

using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

namespace {

QTemporaryDir* home = nullptr;

// Answers the Save As dialog with a typed name and the chosen filter. onMessage answers a
// message shown over the dialog; after() then sees the dialog, perhaps still open.
std::shared_ptr<bool> typeIntoSaveAs(const QString& name,
                                     std::function<void(QMessageBox*)> onMessage = {},
                                     std::function<void(QFileDialog*)> after = {})
{
    return onNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        if (onMessage)
            onNextModal([onMessage](QWidget* box) { onMessage(qobject_cast<QMessageBox*>(box)); },
                        dialog);
        static_cast<QDialog*>(dialog)->accept();
        if (after)
            after(dialog);
    });
}

} // namespace

class tst_Dialogs : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        startProgram();
        dir.emplace();
        QVERIFY(dir->isValid());
    }
    void cleanup() { QVERIFY(closeEverything()); }
    void cleanupTestCase();

    void saveAsOffersThreeTypesAndKeepsTypedName();
    void replacingAFileAsksFirst_data();
    void replacingAFileAsksFirst();
    void pathThatCannotBeSavedIsRefused_data();
    void pathThatCannotBeSavedIsRefused();
    void nextSaveStartsAtThePreviousPath();
    void colourDialogStartsAtTheLastColour();

private:
    QWidget* main() const { return window("frmMain"); }
    std::optional<QTemporaryDir> dir; // a fresh folder for each test
};

void tst_Dialogs::saveAsOffersThreeTypesAndKeepsTypedName()
{
    QStringList offered;
    const auto ran = onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        offered = dialog->nameFilters();
        dialog->setDirectory(dir->path());
        dialog->selectNameFilter(QStringLiteral("CSS Files(*.css)"));
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), "style");
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdSave");
    QVERIFY(*ran);
    QCOMPARE(offered, (QStringList{"Text Files(*.txt)", "HTML Files(*.html)", "CSS Files(*.css)"}));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"style"});
}

void tst_Dialogs::replacingAFileAsksFirst_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_Dialogs::replacingAFileAsksFirst()
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
    const auto ran = typeIntoSaveAs(
        path,
        [&](QMessageBox* box) {
            question = box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        },
        [&](QFileDialog* dialog) {
            stayedOpen = dialog->isVisible();
            if (stayedOpen)
                dialog->reject();
        });
    click(main(), "cmdSave");
    QVERIFY(*ran);
    QVERIFY2(question.contains(QStringLiteral("old.css")), qPrintable(question));
    QCOMPARE(stayedOpen, !replace);
    QCOMPARE(fileBytes(path), replace ? QByteArray("hr {  }\r\n\r\n") : QByteArray(5000, 'o'));
}

void tst_Dialogs::pathThatCannotBeSavedIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "missing/style.css"
                                    << "The folder does not exist";
    QTest::newRow("too long") << QStringLiteral("./").repeated(2200) + "style.css"
                              << "The path is too long";
}

void tst_Dialogs::pathThatCannotBeSavedIsRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QString warning;
    bool stayedOpen = false;
    const auto ran = typeIntoSaveAs(
        dir->filePath(name),
        [&](QMessageBox* box) {
            warning = box->text();
            box->accept();
        },
        [&](QFileDialog* dialog) {
            stayedOpen = dialog->isVisible();
            dialog->reject();
        });
    click(main(), "cmdSave");
    QVERIFY(*ran);
    QVERIFY2(warning.contains(reason), qPrintable(warning));
    QVERIFY(stayedOpen);
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(main()->windowTitle(), QStringLiteral("Rulecraft V1"));
}

void tst_Dialogs::nextSaveStartsAtThePreviousPath()
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

void tst_Dialogs::colourDialogStartsAtTheLastColour()
{
    click(main(), "cmdA");
    QWidget* editor = window("frmSelection");
    auto* colour = control<QLineEdit>(editor, "tColor");
    onNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
        dialog->accept();
    });
    click(editor, "cmdSelColor");
    QCOMPARE(colour->text(), QStringLiteral("#123456"));

    QColor offered;
    onNextModal([&offered](QWidget* modal) {
        offered = qobject_cast<QColorDialog*>(modal)->currentColor();
        static_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClicks(colour, "x");
    click(editor, "cmdSelColor");
    QCOMPARE(offered, QColor(0x12, 0x34, 0x56));
    QCOMPARE(colour->text(), QStringLiteral("#123456x"));
}

void tst_Dialogs::cleanupTestCase()
{
    QStringList left;
    for (QDirIterator it(home->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        left << it.next();
    QCOMPARE(left, QStringList());
}

int main(int argc, char* argv[])
{
    // A home of its own, set before Qt reads where settings live.
    QTemporaryDir ownHome;
    home = &ownHome;
    qputenv("HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", ownHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    tst_Dialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogs.moc"
