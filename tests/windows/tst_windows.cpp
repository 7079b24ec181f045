// SPDX-License-Identifier: GPL-3.0-or-later
// What the walk does not reach: the layout, what only Qt's real Save
// As and Colour dialogs show, inputs far beyond ordinary use, and the preview. It runs in a
// home folder of its own, which must still be empty at the end: the program keeps no
// settings.
#include "support.h"

#include "windows/preview.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

namespace {

QTemporaryDir* home = nullptr;

QWidget* open(const char* opener, const char* name)
{
    if (*opener)
        click(window("frmMain"), opener);
    QWidget* opened = window(name);
    return opened && QTest::qWaitForWindowExposed(opened) ? opened : nullptr;
}

// Runs action on the next modal widget other than notThis as soon as it opens, once; gives
// up after five seconds, so that a dialog that never came cannot answer a later one.
void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr)
{
    auto* poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(250);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal != notThis;
        if (found || --*tries == 0)
            poll->stop(), poll->deleteLater();
        if (found)
            action(modal);
    });
    poll->start(20);
}

// Types a name into the Save As dialog and confirms; onMessage answers a message shown over
// the dialog, and after() then sees whether the dialog stayed open.
void typeIntoSaveAs(const QString& name, std::function<void(QMessageBox*)> onMessage = {},
                    std::function<void(QFileDialog*)> after = {})
{
    onNextModal([=](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
        if (onMessage)
            onNextModal([=](QWidget* box) { onMessage(static_cast<QMessageBox*>(box)); }, dialog);
        static_cast<QDialog*>(dialog)->accept();
        if (after)
            after(dialog);
    });
}

// The body of an HTTP answer, with its status (0: no answer) where asked.
QByteArray fetch(const QUrl& url, const QByteArray& method = "GET", const QByteArray& host = {},
                 int* status = nullptr)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    if (!host.isEmpty())
        request.setRawHeader("Host", host);
    QNetworkReply* reply = method == "HEAD" ? network.head(request)
                                            : network.sendCustomRequest(request, method);
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
        return "<no answer>";
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->readAll();
}

} // namespace

class tst_Windows : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        script = {};
        startProgram(&script);
        dir.emplace();
    }
    void cleanup() { QVERIFY(closeEverything()); }
    void cleanupTestCase();

    void controlsFitTheirWindowAndEachOther_data();
    void controlsFitTheirWindowAndEachOther();
    void saveAsOffersThreeTypesAndStartsAtThePreviousPath();
    void replacingAFileAsksFirst();
    void pathThatCannotBeSavedIsRefused();
    void colourDialogStartsAtTheLastColour();
    void largeInputsAreKeptWhole();
    void previewServesWhatSaveWrites();

private:
    QWidget* main() const { return window("frmMain"); }
    QByteArray save(const QString& name)
    {
        script.saves.push_back(dir->filePath(name));
        click(main(), "cmdSave");
        return fileBytes(dir->filePath(name));
    }
    void realDialogs() { static_cast<frmMain*>(main())->commonDialog().setScript(nullptr); }

    CommonDialog::Script script;
    std::optional<QTemporaryDir> dir; // a fresh folder for each test
};

void tst_Windows::controlsFitTheirWindowAndEachOther_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("headingPixels"); // of the first label; 0: the default font
    QTest::newRow("main") << QByteArray() << QByteArray("frmMain") << 0;
    QTest::newRow("editor") << QByteArray("cmdTD") << QByteArray("frmSelection") << 18; // 13.5 pt
    QTest::newRow("size") << QByteArray("cmdH") << QByteArray("frmHSize") << 0;
    QTest::newRow("custom") << QByteArray("cmdCustom") << QByteArray("frmCustom") << 0;
    QTest::newRow("about") << QByteArray("cmdAbout") << QByteArray("frmAbout") << 19; // 14.25 pt
}

void tst_Windows::controlsFitTheirWindowAndEachOther()
{
    QFETCH(QByteArray, opener);
    QFETCH(QByteArray, name);
    QFETCH(int, headingPixels);
    QWidget* opened = open(opener, name);
    QVERIFY(opened);
    // The face the layout was drawn for is installed by the set-up command.
    QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Liberation Sans"));
    const bool tool = name != "frmMain";
    QCOMPARE(opened->windowType() == Qt::Tool, tool);
    QCOMPARE(opened->minimumSize() == opened->maximumSize(), tool);
    QVERIFY(!tool || !(opened->windowFlags() & Qt::WindowMinMaxButtonsHint));
    QCOMPARE(QAccessible::queryAccessibleInterface(opened)->text(QAccessible::Name),
             opened->windowTitle());
    QList<QWidget*> controls;
    for (QWidget* w : opened->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->isWindow() && !w->isHidden())
            controls << w;
    }
    for (QWidget* control : controls) {
        const QString what = control->objectName();
        // The design lets a box's frame hang a few pixels over the window's edge.
        QVERIFY2(opened->rect().contains(control->geometry().adjusted(0, 0, -3, -3)),
                 qPrintable(what + " is outside"));
        // Offscreen shows no completion popup, so a completer is looked for: it would change
        // what the user typed into a list.
        auto* list = qobject_cast<QComboBox*>(control);
        QVERIFY2(!list || !list->completer(), qPrintable(what + " completes what is typed"));
        const QString spoken =
            QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        QVERIFY2(!spoken.isEmpty() && !spoken.contains('&'), qPrintable(what));
        // No control lies under a later one, but a label, or buttons 255 twips high at 240
        // apart that touch by a pixel; a caption fits the part of its control left uncovered.
        const QFontMetrics metrics(control->font());
        const QRect line(control->pos(), QSize(control->width(), metrics.height()));
        int room = control->width() - (qobject_cast<QAbstractButton*>(control) ? 4 : 0);
        for (QWidget* other : controls.mid(controls.indexOf(control) + 1)) {
            const QRect both = other->geometry().intersected(control->geometry());
            const bool label = qobject_cast<QLabel*>(control) || qobject_cast<QLabel*>(other);
            QVERIFY2(label || both.width() <= 1 || both.height() <= 1,
                     qPrintable(what + " lies under " + other->objectName()));
            if (other->geometry().intersects(line) && other->x() > control->x())
                room = std::min(room, other->x() - control->x());
        }
        QString caption =
            qobject_cast<QLabel*>(control) ? static_cast<QLabel*>(control)->text() : "";
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            caption = button->text().remove('&');
        QVERIFY2(metrics.horizontalAdvance(caption) <= room &&
                     metrics.height() <= control->height(),
                 qPrintable(what + " \"" + caption + "\" does not fit"));
    }
    if (headingPixels)
        QCOMPARE(controls.first()->font().pixelSize(), headingPixels);
}

void tst_Windows::saveAsOffersThreeTypesAndStartsAtThePreviousPath()
{
    realDialogs();
    QStringList offered;
    onNextModal([&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        offered = dialog->nameFilters();
        dialog->setDirectory(dir->path());
        dialog->selectNameFilter("CSS Files(*.css)");
        QTest::keyClicks(dialog->findChild<QLineEdit*>("fileNameEdit"), "style");
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdSave");
    QCOMPARE(offered, (QStringList{"Text Files(*.txt)", "HTML Files(*.html)", "CSS Files(*.css)"}));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"style"}); // no extension added

    // The next Save starts at that path; with its folder gone, at the nearest one left.
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    typeIntoSaveAs(dir->filePath("sub/style.css"));
    click(main(), "cmdSave");
    for (const QString& folder : {dir->filePath("sub"), dir->path()}) {
        QStringList start;
        onNextModal([&start](QWidget* modal) {
            auto* dialog = static_cast<QFileDialog*>(modal);
            start << dialog->directory().absolutePath()
                  << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            dialog->reject();
        });
        click(main(), "cmdSave");
        QCOMPARE(start, (QStringList{folder, "style.css"}));
        QVERIFY(QDir(dir->filePath("sub")).removeRecursively());
    }
}

void tst_Windows::replacingAFileAsksFirst()
{
    realDialogs();
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tHR"), "hr {  }");
    for (const bool replace : {false, true}) {
        const QString path = dir->filePath("old.css");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(5000, 'o')) == 5000);
        old.close();
        QString question;
        bool stayedOpen = false;
        typeIntoSaveAs(
            path,
            [&](QMessageBox* box) {
                question = box->text();
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
            },
            [&](QFileDialog* dialog) {
                (stayedOpen = dialog->isVisible()) ? dialog->reject() : void();
            });
        click(main(), "cmdSave");
        QVERIFY2(question.contains("old.css"), qPrintable(question));
        QCOMPARE(stayedOpen, !replace);
        QCOMPARE(fileBytes(path), replace ? QByteArray("hr {  }\r\n\r\n") : QByteArray(5000, 'o'));
    }
}

void tst_Windows::pathThatCannotBeSavedIsRefused()
{
    realDialogs();
    const QStringList names{"missing/style.css", QString("./").repeated(2200) + "style.css"};
    const QStringList reasons{"The folder does not exist", "The path is too long"};
    for (int i = 0; i < 2; ++i) {
        QString warning;
        bool stayedOpen = false;
        typeIntoSaveAs(
            dir->filePath(names[i]),
            [&](QMessageBox* box) { warning = box->text(), box->accept(); },
            [&](QFileDialog* dialog) { stayedOpen = dialog->isVisible(), dialog->reject(); });
        click(main(), "cmdSave");
        QVERIFY2(warning.contains(reasons[i]) && stayedOpen, qPrintable(warning));
    }
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(main()->windowTitle(), "Rulecraft V1");
}

void tst_Windows::colourDialogStartsAtTheLastColour()
{
    realDialogs();
    QWidget* editor = open("cmdA", "frmSelection");
    auto* colour = control<QLineEdit>(editor, "tColor");
    onNextModal([](QWidget* modal) {
        static_cast<QColorDialog*>(modal)->setCurrentColor(QColor(0x12, 0x34, 0x56));
        static_cast<QDialog*>(modal)->accept();
    });
    click(editor, "cmdSelColor");
    QCOMPARE(colour->text(), "#123456");
    QColor offered;
    onNextModal([&offered](QWidget* modal) {
        offered = static_cast<QColorDialog*>(modal)->currentColor();
        static_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClicks(colour, "x");
    click(editor, "cmdSelColor");
    QCOMPARE(offered, QColor(0x12, 0x34, 0x56));
    QCOMPARE(colour->text(), "#123456x");
}

void tst_Windows::largeInputsAreKeptWhole()
{
    // 50 MB pasted, with lines of every kind of break and characters of several bytes.
    const QStringList breaks{"\n", "\r\n", "\r"};
    QString pasted;
    QByteArray expected;
    for (int i = 0; expected.size() < 50 * 1024 * 1024; ++i) {
        pasted += QStringLiteral("p.x { content: \"\u00e9\u20ac\u6f22\"; }") + breaks[i % 3];
        expected += "p.x { content: \"\xE9\x80?\"; }\r\n";
    }
    QApplication::clipboard()->setText(pasted);
    control<QPlainTextEdit>(main(), "tBlank")->paste();
    QCOMPARE(save("large.css"), expected + "\r\n\r\n");
    control<QPlainTextEdit>(main(), "tBlank")->clear();

    // A selector of 1 MB, past the 32,767 characters a line edit takes by default, and a
    // holder of 100,000 declarations.
    const QString selector = QStringLiteral("div.a ").repeated(1024 * 1024 / 6);
    QApplication::clipboard()->setText(selector);
    control<QLineEdit>(open("cmdCustom", "frmCustom"), "txtName")->paste();
    click(window("frmCustom"), "Command1");
    for (int i = 0; i < 100000; ++i)
        control<QPushButton>(window("frmSelection"), "cAMargin")->click();
    click(window("frmSelection"), "cmdAddSelection");
    QCOMPARE(save("selector.css"), selector.toLatin1() + " { " +
                                       QByteArray("margin: ; ").repeated(100000) +
                                       " }\r\n\r\n\r\n");
}

void tst_Windows::previewServesWhatSaveWrites()
{
    Preview& preview = static_cast<frmMain*>(main())->preview();
    QList<QUrl> opened;
    std::function<void()> cannotOpen;
    preview.setBrowser([&](const QUrl& page, std::function<void()> failed) {
        opened << page, cannotOpen = std::move(failed);
    });
    auto* custom = control<QPlainTextEdit>(main(), "tBlank");
    typeText(custom, QStringLiteral("p.note { content: \"\u00e9\u20ac\u6f22\U0001F600\"; }"));
    click(main(), "previewButton");
    QCOMPARE(opened.size(), 1);
    const QUrl page = opened.first();
    QVERIFY2(QRegularExpression("^http://127\\.0\\.0\\.1:\\d+/[0-9a-f]{32}/$")
                 .match(page.toString()).hasMatch(), qPrintable(page.toString()));
    const QUrl sheet = page.resolved(QUrl("style.css")), stamps = page.resolved(QUrl("version"));
    QCOMPARE(fetch(sheet), save("saved.css"));
    QVERIFY(fetch(page).contains("<p class=\"note\">p.note</p>"));

    // A commit changes the stylesheet's stamp once the sections are still; a new custom
    // selector the page's too.
    const QList<QByteArray> first = fetch(stamps).split(' ');
    click(main(), "cmdHR");
    click(window("frmSelection"), "cAColor");
    click(window("frmSelection"), "cmdAddSelection");
    QList<QByteArray> second, third;
    QTRY_VERIFY((second = fetch(stamps).split(' ')).value(0) != first.value(0));
    QCOMPARE(second.value(1), first.value(1));
    QCOMPARE(fetch(sheet), save("saved.css"));
    custom->moveCursor(QTextCursor::End);
    QTest::keyClicks(custom, "\rem { }");
    QTRY_VERIFY((third = fetch(stamps).split(' ')).value(0) != second.value(0));
    QVERIFY(third.value(1) != second.value(1));
    QVERIFY(fetch(page).contains("<em>em</em>"));

    // Only this address, only from a page named by the loopback address, only to read.
    int status = 0;
    fetch(page.resolved(QUrl("../0123/style.css")), "GET", {}, &status);
    QCOMPARE(status, 404);
    fetch(sheet, "GET", "localhost:" + QByteArray::number(page.port()), &status);
    QCOMPARE(status, 403);
    fetch(sheet, "POST", {}, &status);
    QCOMPARE(status, 405);
    QCOMPARE(fetch(sheet, "HEAD", {}, &status), QByteArray());
    QCOMPARE(status, 200);

    // A browser that cannot be opened is said once a press, with the address to open.
    cannotOpen(), cannotOpen();
    QCOMPARE(script.messages.size(), 1);
    QVERIFY(script.messages.first().contains(page.toString()));
    // Asked to stop, as at the end of a session, it ends as Exit does, and so does the
    // server.
    ::raise(SIGTERM);
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    fetch(page, "GET", {}, &status);
    QCOMPARE(status, 0);
}

void tst_Windows::cleanupTestCase()
{
    const QStringList left =
        QDir(home->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
}

int main(int argc, char* argv[])
{
    // A home of its own, set before Qt reads where settings live.
    QTemporaryDir ownHome;
    home = &ownHome;
    qputenv("HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", ownHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    tst_Windows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
