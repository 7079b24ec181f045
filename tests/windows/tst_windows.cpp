// SPDX-License-Identifier: GPL-3.0-or-later
// What the walk does not reach: how the windows are laid out and ordered for the keyboard,
// inputs far beyond ordinary use, and the preview in the browser.
#include "support.h"

#include "core/modvar.h"
#include "windows/declarationsbox.h"
#include "windows/preview.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_Windows : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        script = {};
        startProgram(&script);
        QVERIFY(dir.isValid());
    }
    void cleanup() { QVERIFY(closeEverything()); }

    void controlsFitTheirWindowAndEachOther_data();
    void controlsFitTheirWindowAndEachOther();
    void tabSkipsLabelsAndDisabledControls();
    void largeInputsAreKeptWhole();
    void previewShowsWhatSaveWrites();
    void previewPageInABrowser();

private:
    QByteArray save(const QString& name)
    {
        script.saves.push_back(dir.filePath(name));
        click(window("frmMain"), "cmdSave");
        return fileBytes(dir.filePath(name));
    }

    CommonDialog::Script script;
    QTemporaryDir dir;
};

namespace {

QWidget* open(const QByteArray& opener, const char* name)
{
    if (!opener.isEmpty())
        click(window("frmMain"), opener.constData());
    QWidget* opened = window(name);
    return opened && QTest::qWaitForWindowExposed(opened) ? opened : nullptr;
}

QString caption(const QWidget* control)
{
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(control))
        text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(control))
        text = button->text();
    return text.remove(QLatin1Char('&'));
}

} // namespace

void tst_Windows::controlsFitTheirWindowAndEachOther_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("headingPixels"); // of the window's first label; 0: the default font
    QTest::newRow("main") << QByteArray() << "frmMain" << 0;
    QTest::newRow("editor") << QByteArray("cmdTD") << "frmSelection" << 18; // 13.5 pt
    QTest::newRow("heading size") << QByteArray("cmdH") << "frmHSize" << 0;
    QTest::newRow("custom tag") << QByteArray("cmdCustom") << "frmCustom" << 0;
    QTest::newRow("about") << QByteArray("cmdAbout") << "frmAbout" << 19; // 14.25 pt bold
}

void tst_Windows::controlsFitTheirWindowAndEachOther()
{
    QFETCH(QByteArray, opener);
    QFETCH(QString, name);
    QFETCH(int, headingPixels);
    QWidget* opened = open(opener, qPrintable(name));
    QVERIFY(opened);
    // The face the layout was drawn for is installed by the set-up command.
    QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Liberation Sans"));
    const bool tool = name != QLatin1String("frmMain");
    QCOMPARE(opened->windowType() == Qt::Tool, tool);
    QCOMPARE(opened->minimumSize() == opened->maximumSize(), tool);
    QVERIFY(!(opened->windowFlags() & Qt::WindowMinMaxButtonsHint) || !tool);
    QCOMPARE(QAccessible::queryAccessibleInterface(opened)->text(QAccessible::Name),
             opened->windowTitle());

    QList<QWidget*> controls;
    for (QWidget* w : opened->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->isWindow() && !w->isHidden())
            controls << w;
    }
    QVERIFY(controls.size() >= 3);
    for (QWidget* control : controls) {
        const QString what = control->objectName();
        // The design lets a box's frame hang a few pixels over the window's edge.
        QVERIFY2(opened->rect().contains(control->geometry().adjusted(0, 0, -3, -3)),
                 qPrintable(what + " is outside"));
        const QString spoken =
            QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        QVERIFY2(!spoken.isEmpty() && !spoken.contains(QLatin1Char('&')), qPrintable(what));

        // A caption fits the part of its control that no later control is drawn over.
        const QFontMetrics metrics(control->font());
        const QRect line(control->x(), control->y(), control->width(), metrics.height());
        int room = control->width() - (qobject_cast<QAbstractButton*>(control) ? 4 : 0);
        for (QWidget* other : controls.mid(controls.indexOf(control) + 1)) {
            const QRect over = other->geometry();
            const bool label = qobject_cast<QLabel*>(control) || qobject_cast<QLabel*>(other);
            // Buttons drawn 255 twips high at 240 apart touch by a pixel.
            const QRect both = over.intersected(control->geometry());
            QVERIFY2(label || both.width() <= 1 || both.height() <= 1,
                     qPrintable(what + " lies under " + other->objectName()));
            if (over.intersects(line) && over.x() > control->x())
                room = std::min(room, over.x() - control->x());
        }
        const QString text = caption(control);
        QVERIFY2(metrics.horizontalAdvance(text) <= room && metrics.height() <= control->height(),
                 qPrintable(QStringLiteral("%1 \"%2\" does not fit").arg(what, text)));
    }
    if (headingPixels)
        QCOMPARE(controls.first()->font().pixelSize(), headingPixels);
}

void tst_Windows::tabSkipsLabelsAndDisabledControls()
{
    // Each window, in turn from the main window; the editor once with Add Selection
    // disabled and once enabled.
    QWidget* editor = open("cmdA", "frmSelection");
    auto* addSelection = control<QWidget>(editor, "cmdAddSelection");
    for (int round = 0; round < 6; ++round) {
        if (round == 5)
            click(editor, "cAColor");
        QWidget* w = round == 0   ? window("frmMain")
                     : round == 1 ? open("cmdH", "frmHSize")
                     : round == 2 ? open("cmdCustom", "frmCustom")
                     : round == 3 ? open("cmdAbout", "frmAbout")
                                  : editor;
        QVERIFY(w);
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QWidget* first = QApplication::focusWidget();
        QVERIFY(first && first->window() == w);
        QSet<QWidget*> visited;
        for (QWidget* now = first; !visited.contains(now); now = QApplication::focusWidget()) {
            visited.insert(now);
            QVERIFY2(!qobject_cast<QLabel*>(now) && now->isEnabled() && now->isVisible(),
                     qPrintable(now->objectName()));
            QTest::keyClick(now, Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), first);
        int focusable = 0;
        for (QWidget* c : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            focusable += c->isEnabled() && c->isVisible() && (c->focusPolicy() & Qt::TabFocus);
        QCOMPARE(visited.size(), focusable);
        if (w == editor)
            QCOMPARE(visited.contains(addSelection), round == 5);
    }
}

void tst_Windows::largeInputsAreKeptWhole()
{
    // 50 MB pasted, with lines of every kind of break and characters of several bytes.
    const QString line = QStringLiteral("p.x { color:#ABCDEF; content: \"\u00e9\u20ac\u6f22\"; }");
    const QByteArray lineBytes = "p.x { color:#ABCDEF; content: \"\xE9\x80?\"; }\r\n";
    const QStringList breaks{"\n", "\r\n", "\r"};
    QString pasted;
    QByteArray expected;
    for (int i = 0; expected.size() < 50 * 1024 * 1024; ++i) {
        pasted += line + breaks[i % 3];
        expected += lineBytes;
    }
    QApplication::clipboard()->setText(pasted);
    control<QPlainTextEdit>(window("frmMain"), "tBlank")->paste();
    QCOMPARE(save(QStringLiteral("large.css")), expected + "\r\n\r\n");
    control<QPlainTextEdit>(window("frmMain"), "tBlank")->clear();

    // A selector of 1 MB, past the 32,767 characters a line edit takes by default.
    const QString selector = QStringLiteral("div.a ").repeated(1024 * 1024 / 6);
    click(window("frmMain"), "cmdCustom");
    QApplication::clipboard()->setText(selector);
    control<QLineEdit>(window("frmCustom"), "txtName")->paste();
    click(window("frmCustom"), "Command1");
    QWidget* editor = window("frmSelection");
    // A holder of 100,000 declarations.
    auto* add = control<QPushButton>(editor, "cAMargin");
    for (int i = 0; i < 100000; ++i)
        add->click();
    click(editor, "cmdAddSelection");
    QCOMPARE(save(QStringLiteral("selector.css")), selector.toLatin1() + " { " +
                                                       QByteArray("margin: ; ").repeated(100000) +
                                                       " }\r\n\r\n\r\n");
}

void tst_Windows::previewShowsWhatSaveWrites()
{
    auto* main = static_cast<frmMain*>(window("frmMain"));
    QList<QUrl> opened;
    main->preview().setBrowser([&opened](const QUrl& page) {
        opened << page;
        return true;
    });
    QTest::keyClicks(control<QPlainTextEdit>(main, "tBlank"), "p.note { color: red; }");
    click(main, "cmdTD");
    click(window("frmSelection"), "cAColor");
    click(window("frmSelection"), "cmdAddSelection");
    click(main, "cmdPreview");

    const QString folder = main->preview().folder();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + "/index.html")});
    QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions());
    const QString sheet = folder + QStringLiteral("/style.css");
    QCOMPARE(fileBytes(sheet), save(QStringLiteral("saved.css")));
    QVERIFY(fileBytes(folder + "/index.html").contains("<p class=\"note\">p.note</p>"));

    // A commit and a typed change each rewrite it within half a second.
    click(main, "cmdHR");
    click(window("frmSelection"), "cAColor");
    click(window("frmSelection"), "cmdAddSelection");
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(sheet).contains("hr { color:;  }"), 500);
    QTest::keyClicks(control<QPlainTextEdit>(main, "tBody"), "body {  }");
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(sheet).startsWith("body {  }\r\ntd"), 500);
    QCOMPARE(fileBytes(sheet), save(QStringLiteral("saved.css")));

    // A browser that cannot be opened is said once, with the page to open by hand.
    main->preview().setBrowser([](const QUrl&) { return false; });
    click(main, "cmdPreview");
    QCOMPARE(script.messages.size(), 1);
    QVERIFY(script.messages.first().contains(QDir::toNativeSeparators(folder + "/index.html")));

    click(main, "cmdExit");
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(!QFileInfo::exists(folder));
}

void tst_Windows::previewPageInABrowser()
{
    QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
        browser = QStandardPaths::findExecutable(QStringLiteral("chromium-browser"));
    if (browser.isEmpty())
        QSKIP("no chromium here");
    auto* main = static_cast<frmMain*>(window("frmMain"));
    main->preview().setBrowser([](const QUrl&) { return true; });
    control<QPlainTextEdit>(main, "tBody")->setPlainText("body { color: #0000FF; }");
    control<QPlainTextEdit>(main, "tH")->setPlainText("h3 { font-size: 40px; }");
    control<QPlainTextEdit>(main, "tBlank")->setPlainText("p.note { margin-left: 33px; }");
    click(main, "cmdPreview");
    // The page's computed styles, written into the page by a script and read back.
    const QString page = main->preview().folder() + QStringLiteral("/index.html");
    QFile file(page);
    QVERIFY(file.open(QIODevice::Append));
    file.write("<script>document.title = [getComputedStyle(document.body).color,"
               "getComputedStyle(document.querySelector('h3')).fontSize,"
               "getComputedStyle(document.querySelector('p.note')).marginLeft].join('|');"
               "</script>");
    file.close();
    QProcess chromium;
    chromium.start(browser, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update",
                             "--disable-sync", "--user-data-dir=" + dir.filePath("profile"),
                             "--dump-dom", QUrl::fromLocalFile(page).toString()});
    QVERIFY(chromium.waitForFinished(60000));
    QVERIFY2(chromium.readAllStandardOutput().contains("<title>rgb(0, 0, 255)|40px|33px</title>"),
             "computed styles differ");
}

QTEST_MAIN(tst_Windows)
#include "tst_windows.moc"
