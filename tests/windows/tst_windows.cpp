// SPDX-License-Identifier: GPL-3.0-or-later
// The windows as a user meets them. The walk: seeded random user actions over all five
// windows, compared after every step with a model of its own (the design's tables written
// out again here, and small independent versions of routing, assembly, the code page and
// the colour notation). Beside it, what the walk does not reach: the layout, a session with
// each of Qt's real Save As and Colour dialogs, a selector past a line edit's limit, and
// the preview over HTTP. Everything runs in a home folder of its own, which must still be
// empty at the end: the program keeps no settings.
//
//   RULECRAFT_WALK_SEED=n RULECRAFT_WALK_STEPS=n ./tst_windows walkMatchesModel
//   (defaults 20260101 and 20000; the seed modulo 5 chooses how the walk ends)
#include "core/modvar.h"
#include "windows/commondialog.h"
#include "windows/declarationsbox.h"
#include "windows/endsignals.h"
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/preview.h"
#include "windows/stylesheetbuffer.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <csignal>
#include <map>
#include <random>

using namespace rulecraft;
using namespace rulecraft::windows;

namespace {

QWidget* window(const char* name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// A missing control fails the test; the caller then works on a stand-in instead of crashing.
template <typename Control> Control* control(QWidget* window, const char* name)
{
    if (auto* found = window ? window->findChild<Control*>(QLatin1String(name)) : nullptr)
        return found;
    QTest::qFail(qPrintable(QStringLiteral("no control %1").arg(name)), __FILE__, __LINE__);
    static Control* const standIn = new Control(nullptr);
    return standIn;
}

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton);
}

QWidget* open(const char* opener, const char* name)
{
    click(window("frmMain"), opener);
    QWidget* opened = window(name);
    return opened && QTest::qWaitForWindowExposed(opened) ? opened : nullptr;
}

// Any text, a key press for each character (both halves of a pair at once), as an input
// method would type it.
void typeText(QWidget* control, const QString& text)
{
    QWidget* target = control->focusProxy() ? control->focusProxy() : control;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, length));
        QApplication::sendEvent(target, &press);
        i += length - 1;
    }
}

void paste(QWidget* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    QMetaObject::invokeMethod(box, "paste");
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The parent of the answers waiting for a dialog: none outlives its test, where it would
// answer the next test's dialog.
QObject* answers = nullptr;

// Runs action on the next modal widget other than notThis as soon as it opens, once.
void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr)
{
    auto* poll = new QTimer(answers);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == notThis)
            return;
        poll->stop(), poll->deleteLater();
        action(modal);
    });
    poll->start(20);
}

QLineEdit* nameBox(QWidget* dialog)
{
    return dialog->findChild<QLineEdit*>("fileNameEdit");
}

// Confirms a dialog and gives the text of the message this shows over it, answered with
// answer; empty when there was none.
QString confirmAndAnswer(QWidget* dialog, QMessageBox::StandardButton answer)
{
    QString text;
    onNextModal(
        [&](QWidget* box) {
            text = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->button(answer)->click();
        },
        dialog);
    static_cast<QDialog*>(dialog)->accept();
    return text;
}

// The body of an HTTP answer, with its status (0: no answer) where asked.
QByteArray fetch(const QUrl& url, const QByteArray& method = "GET", const QByteArray& host = {},
                 int* status = nullptr)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    if (!host.isEmpty())
        request.setRawHeader("Host", host);
    QNetworkReply* reply =
        method == "HEAD" ? network.head(request) : network.sendCustomRequest(request, method);
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
        return "<no answer>";
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->readAll();
}

// clang-format off
struct TagButton { const char* name; const char* caption; std::string key, opener; };
const TagButton catalogue[] = {
    {"cmdBody", "Create BODY:", "body", "body { "}, {"cmdA", "Create A:", "a", "a { "},
    {"cmdAlink", "Create A:link", "alink", "a:link { "},
    {"cmdAvisited", "Create A:visited", "avisited", "a:visited { "},
    {"cmdAhover", "Create A:hover", "ahover", "a:hover { "},
    {"cmdTable", "Create TABLE:", "table", "table { "}, {"cmdTR", "Create TR:", "tr", "tr { "},
    {"cmdTD", "Create TD:", "td", "td { "}, {"cmdHR", "Create HR:", "hr", "hr { "}};
const std::pair<QString, std::string> rows[] = {{"Font", "font"}, {"Text", "text"},
    {"Padding", "padding"}, {"Border", "border"}, {"Margin", "margin"}, {"Background", "background"}};
const std::map<QString, QStringList> lists{
    {"cFont", {"-style", "-variant", "-weight", "-size", "-family"}},
    {"cText", {"-align", "-decoration", "-indent", "-transform"}},
    {"cPadding", {"-bottom", "-left", "-right", "-top"}},
    {"cBorder", {"-width", "-style", "-color", "-bottom", "-left", "-right", "-top"}},
    {"cMargin", {"-bottom", "-top", "-left", "-right"}},
    {"cBackground", {"-color", "-attachment", "-image", "-position", "-repeat"}},
    {"cmbH", {"1", "2", "3", "4", "5", "6"}}};
const char* const sectionNames[] = {"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank"};
const QStringList mainTabOrder{"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank", "cmdBody", "cmdA",
    "cmdTable", "cmdHR", "cmdH", "cmdCustom", "cmdAlink", "cmdAvisited", "cmdAhover", "cmdTR",
    "cmdTD", "cmdExit", "cmdSave", "cmdAbout", "previewButton"};
const std::map<std::string, int> fixedKeys{
    {"body", 0}, {"a", 1}, {"alink", 1}, {"avisited", 1}, {"ahover", 1}, {"table", 2}, {"tr", 2},
    {"td", 2}, {"hr", 3}, {"h1", 4}, {"h2", 4}, {"h3", 4}, {"h4", 4}, {"h5", 4}, {"h6", 4}};
// The characters the walk types, with their Windows-1252 bytes.
const std::map<QString, std::string> pieces{
    {"a", "a"}, {"Z", "Z"}, {"7", "7"}, {" ", " "}, {"{", "{"}, {";", ";"}, {":", ":"},
    {"-", "-"}, {"\u00e9", "\xE9"}, {"\u00a0", "\xA0"}, {"\u20ac", "\x80"}, {"\u6f22", "?"},
    {"\u0416", "?"}, {"\U0001F600", "?"}, {"\u00ff", "\xFF"}};
const char* const endings[] = {"Exit", "the close box", "SIGTERM", "SIGHUP", "SIGINT"};
// clang-format on

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string windows1252(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
        const auto lead = static_cast<unsigned char>(text[i]);
        length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out +=
            length == 1 ? text.substr(i, 1) : pieces.at(QString::fromUtf8(text.substr(i, length)));
    }
    return out;
}

// What a control shows, read without the program's own readers; a box of a drop-down list
// is the list; "" is the window's title.
std::pair<QString, std::string> shown(QWidget* window, QObject* control)
{
    if (!control)
        return {"", utf8(window->windowTitle())};
    auto* list = qobject_cast<QComboBox*>(control);
    if (auto* owner = qobject_cast<QComboBox*>(control->parent()); owner || list)
        return {(owner ? owner : list)->objectName(), utf8((owner ? owner : list)->currentText())};
    QString text =
        control->property(qobject_cast<QLabel*>(control) ? "text" : "plainText").toString();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        text = edit->text();
    if (auto* holder = qobject_cast<DeclarationsBox*>(control)) {
        // What it shows, but for the breaks it is shown with, is what it holds.
        const std::string display =
            utf8(holder->document()->toRawText().remove(QChar::ParagraphSeparator));
        return {control->objectName(), display == holder->text() ? display : "shown as " + display};
    }
    if (auto* box = qobject_cast<QPlainTextEdit*>(control))
        text = box->document()
                   ->toRawText()
                   .replace(QChar::ParagraphSeparator, "\r\n")
                   .replace(QChar::LineSeparator, "\r\n");
    return {control->objectName(), utf8(text)};
}

struct Model {
    std::string sections[6], tagKey, tagOpen, tagClose, lastRule, buffer, editKey, editOpen;
    // The open windows besides the main window, each with what its controls show.
    std::map<QString, std::map<QString, std::string>> open;
    std::map<QString, QString> focus; // where each window has it, as far as it is known
    QString mainFocus;                // where Tab just took it in the main window
    std::map<QString, std::string> files;
    std::map<QString, bool> readOnly;
    bool saved = false;
    qsizetype messages = 0;
    // What the body section held before a body commit, and the step of that commit.
    std::string bodyBefore;
    int bodyCommitStep = -1;

    void chooseTag(const std::string& key, const std::string& opener)
    {
        tagKey = key, tagOpen = opener, tagClose = " }\r\n";
        if (open.count("frmSelection"))
            return;
        editKey = key, editOpen = opener, focus["frmSelection"] = "cFont";
        open["frmSelection"] = {{"", key + " { PROPERTY : VALUE }"},
                                {"Label", "Editing Tag for: " + key + " Selector"},
                                {"txtHolder", ""}};
    }
};

QTemporaryDir* home = nullptr;
QTemporaryDir* runtime = nullptr;

} // namespace

class tst_Windows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cleanupTestCase();

    void walkMatchesModel();
    void controlsFitTheirWindowAndEachOther_data();
    void controlsFitTheirWindowAndEachOther();
    void saveAsSession();
    void colourSession();
    void selectorPastTheLineEditLimit();
    void previewServesWhatSaveWrites();

private:
    using Actions = std::vector<std::pair<const char*, std::function<void()>>>;

    QWidget* main() const { return window("frmMain"); }
    QByteArray save(const QString& name)
    {
        script.saves.push_back(dir->filePath(name));
        click(main(), "cmdSave");
        return fileBytes(dir->filePath(name));
    }
    void realDialogs() { static_cast<frmMain*>(main())->commonDialog().setScript(nullptr); }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QString someText();
    Actions actions();
    QString mismatch();

    CommonDialog::Script script;
    std::optional<QTemporaryDir> dir; // a fresh folder for each test
    std::mt19937 random;
    int step = 0;
    Model model;
};

void tst_Windows::init()
{
    // The headless platform says so each time a window is raised; that is not news.
    static const QtMessageHandler passOn = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith("This plugin does not support"))
                passOn(type, context, text);
        });
    // Starts the program as main() does, with the shared state empty again.
    modVar = {};
    script = {}, model = {};
    dir.emplace();
    answers = new QObject(this);
    applyApplicationLook();
    frmMain& started = openWindow<frmMain>(nullptr);
    endOnTerminationSignals();
    started.commonDialog().setScript(&script);
    QVERIFY(QTest::qWaitForWindowExposed(&started));
}

void tst_Windows::cleanup()
{
    delete answers;
    if (QWidget* main = window("frmMain"))
        main->close();
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->close();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_Windows::cleanupTestCase()
{
    const QStringList left =
        QDir(home->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
}

QString tst_Windows::someText()
{
    QString text;
    for (int i = below(8); i >= 0; --i)
        text += std::next(pieces.begin(), below(int(pieces.size())))->first;
    return text;
}

tst_Windows::Actions tst_Windows::actions()
{
    Actions list;
    const auto add = [&list](const char* name, std::function<void()> run) {
        list.emplace_back(name, std::move(run));
    };
    QWidget* main = window("frmMain");
    const auto section = [=](int s) { return control<QPlainTextEdit>(main, sectionNames[s]); };
    for (const TagButton& tag : catalogue)
        add("tag button",
            [=, this, &tag] { click(main, tag.name), model.chooseTag(tag.key, tag.opener); });
    // A window opens with the focus in its first box; one already open keeps what it has.
    const auto opening = [=, this](const char* button, const char* name, const char* focus,
                                   std::map<QString, std::string> shows) {
        add(button, [=, this] {
            click(main, button);
            if (model.open.try_emplace(name, shows).second)
                model.focus[name] = focus;
        });
    };
    opening("cmdH", "frmHSize", "cmbH", {{"", "H#"}, {"cmbH", "1"}});
    opening("cmdCustom", "frmCustom", "txtName", {{"", "Custom Tag"}});
    opening("cmdAbout", "frmAbout", "cmdOK",
            {{"", "Rulecraft About"}, {"Label1", "Rulecraft Version v1"}});
    add("Tab in the main window", [=, this] {
        QWidget* from = main->focusWidget();
        model.mainFocus = mainTabOrder.value((mainTabOrder.indexOf(from->objectName()) + 1) %
                                             mainTabOrder.size());
        QTest::keyClick(from, Qt::Key_Tab);
    });
    add("type in a section", [=, this] {
        const int s = below(6), key = below(4);
        const QString text = someText();
        section(s)->moveCursor(QTextCursor::End);
        typeText(section(s), text);
        // Enter breaks the paragraph, Shift+Enter the line; Tab only leaves.
        if (key < 3)
            QTest::keyClick(section(s), key == 2 ? Qt::Key_Tab : Qt::Key_Return,
                            key == 1 ? Qt::ShiftModifier : Qt::NoModifier);
        model.sections[s] += utf8(text) + (key < 2 ? "\r\n" : "");
    });
    add("paste into a section", [=, this] {
        const int s = below(6);
        QString text = someText() + QStringList{"\n", "\r\n", "\r"}[below(3)] + someText();
        section(s)->moveCursor(QTextCursor::End);
        paste(section(s), text);
        model.sections[s] +=
            utf8(text.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n"));
    });
    add("empty a section", [=, this] {
        const int s = below(6);
        section(s)->clear(), model.sections[s].clear();
    });
    const auto save = [=, this] {
        const int kind = below(10); // 0: Cancel; 1: a missing folder first
        const QString path = dir->filePath(QStringLiteral("out-%1.css").arg(below(4)));
        if (kind == 1) // refused, and the dialog stays open for another name
            script.saves.push_back(dir->filePath("missing/x.css")), ++model.messages;
        script.saves.push_back(kind == 0 ? std::nullopt : std::optional(path));
        click(main, "cmdSave");
        model.buffer.clear();
        for (const std::string& text : model.sections)
            model.buffer += text.empty() ? "" : text + "\r\n";
        if (kind > 0 && model.readOnly[path])
            ++model.messages;
        else if (kind > 0)
            model.files[path] = windows1252(model.buffer) + "\r\n", model.saved = true;
    };
    add("save", save);
    // Past the text path's pieces of 16 Ki units: a character outside the Basic Multilingual
    // Plane across the first edge and at random places, or one selector of 40,000 characters.
    if (below(25) == 0)
        add("paste a long text and save", [=, this] {
            const int s = below(6);
            QString text = QStringLiteral("div.a ").repeated(6700) + "{ }";
            if (below(2)) {
                text = QString(16383, 'a') + "\U0001F600";
                for (int end = 16384 + below(40000); text.size() < end;)
                    text += QString(below(2000), 'b') + "\U0001F600";
            }
            section(s)->clear();
            paste(section(s), text);
            model.sections[s] = utf8(text);
            save();
        });
    // The replacement of the body section is one step of its undo history; taken back about
    // once in four commits.
    for (int weight = 0; weight < 20 && model.bodyCommitStep == step - 1; ++weight)
        add("Ctrl+Z after a body commit", [=, this] {
            QTest::keyClick(section(0), Qt::Key_Z, Qt::ControlModifier);
            model.sections[0] = model.bodyBefore;
        });
    if (!model.files.empty() && below(10) == 0)
        add("make a file read-only", [this] {
            const QString path =
                std::next(model.files.begin(), below(int(model.files.size())))->first;
            model.readOnly[path] = QFile::setPermissions(path, QFile::ReadOwner);
        });
    for (auto& [name, shows] : model.open) {
        QWidget* w = window(qPrintable(name));
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            add("type into a box", [=, this, &shows] {
                const QString text = someText();
                // As a user would, into the box with the focus.
                edit->setFocus();
                typeText(edit, text);
                shows[shown(w, edit).first] += utf8(text);
                model.focus[name] = shown(w, edit).first;
            });
        // No window has a default button, and a list keeps what was typed.
        add("Enter in a box", [=, this] {
            const QList<QLineEdit*> edits = w->findChildren<QLineEdit*>();
            if (!edits.isEmpty())
                QTest::keyClick(edits[below(int(edits.size()))], Qt::Key_Return);
        });
        for (QComboBox* box : w->findChildren<QComboBox*>())
            add("pick from a list", [=, this, &shows] {
                const int entry = below(box->count());
                box->setCurrentIndex(entry);
                shows[box->objectName()] = utf8(lists.at(box->objectName()).value(entry));
            });
        // The holder and the credits are read-only: typing changes neither.
        for (QPlainTextEdit* box : w->findChildren<QPlainTextEdit*>())
            add("type into a read-only box", [=, this, &shows] {
                shows.try_emplace(box->objectName(), shown(w, box).second);
                typeText(box, someText());
            });
        add("close", [=, this] { w->close(), model.open.erase(name); });
        add("Tab",
            [=, this] { QTest::keyClick(w->focusWidget(), Qt::Key_Tab), model.focus.erase(name); });
    }
    // A chooser's button opens the editor for what it chose.
    const auto choose = [=, this](const char* chooser, const char* box, std::string prefix) {
        if (QWidget* w = window(chooser))
            add(chooser, [=, this] {
                click(w, "Command1");
                const std::string key = prefix + model.open[chooser][box];
                model.open.erase(chooser), model.chooseTag(key, key + " { ");
            });
    };
    choose("frmHSize", "cmbH", "h");
    choose("frmCustom", "txtName", "");
    if (QWidget* about = window("frmAbout"))
        add("OK", [=, this] { click(about, "cmdOK"), model.open.erase("frmAbout"); });
    QWidget* editor = window("frmSelection");
    if (!editor)
        return list;
    auto& shows = model.open["frmSelection"];
    for (const auto& [row, stem] : rows)
        add("Add", [=, this, &shows] {
            click(editor, qPrintable("cA" + row));
            shows["txtHolder"] += stem + shows["c" + row] + ": " + shows["t" + row] + "; ";
            shows.erase("c" + row), shows.erase("t" + row);
            model.focus["frmSelection"] = "c" + row;
        });
    add("Add colour", [=, this, &shows] {
        click(editor, "cAColor");
        shows["txtHolder"] += "color:" + shows["tColor"] + "; ";
        shows.erase("tColor"), model.focus["frmSelection"] = "tColor";
    });
    add("Select Color", [=, this, &shows] {
        const auto colour = std::uint32_t(random() & 0xFFFFFF);
        const bool confirmed = below(3);
        script.colours.push_back(confirmed ? std::optional(colour) : std::nullopt);
        click(editor, "cmdSelColor");
        model.focus["frmSelection"] = "cmdSelColor";
        if (confirmed)
            shows["tColor"] = QString::asprintf("#%02X%02X%02X", colour & 0xFF,
                                                (colour >> 8) & 0xFF, colour >> 16)
                                  .toStdString();
    });
    if (!shows["txtHolder"].empty())
        add("Add Selection", [=, this, &shows] {
            click(editor, "cmdAddSelection");
            model.lastRule = model.editOpen + shows["txtHolder"] + " }\r\n";
            const auto fixed = fixedKeys.find(model.editKey);
            const int s = fixed == fixedKeys.end() ? 5 : fixed->second;
            if (s == 0)
                model.bodyBefore = model.sections[0], model.bodyCommitStep = step;
            model.sections[s] = (s == 0 ? "" : model.sections[s]) + model.lastRule;
            model.open.erase("frmSelection");
        });
    add("Close Window", [=, this] { click(editor, "cmdClose"), model.open.erase("frmSelection"); });
    return list;
}

// The first difference between the windows and the model, or nothing.
QString tst_Windows::mismatch()
{
    QWidget* main = window("frmMain");
    for (int s = 0; s < 6; ++s) {
        if (shown(main, control<QPlainTextEdit>(main, sectionNames[s])).second != model.sections[s])
            return QStringLiteral("section %1 differs").arg(sectionNames[s]);
    }
    if (!model.mainFocus.isEmpty() && main->focusWidget()->objectName() != model.mainFocus)
        return "Tab took the main window's focus to " + main->focusWidget()->objectName();
    // A date in whatever short format the user has, with the year, and no time of day.
    static const QRegularExpression savedTitle(
        QStringLiteral("^Rulecraft v1 :: File saved on [^:]*%1[^:]*$")
            .arg(QDate::currentDate().year() % 100));
    if (model.saved ? !savedTitle.match(main->windowTitle()).hasMatch()
                    : main->windowTitle() != "Rulecraft V1")
        return "title is " + main->windowTitle();
    if (control<StylesheetBuffer>(main, "h")->text() != model.buffer)
        return "the stylesheet buffer differs";
    if (QApplication::overrideCursor()) // the busy cursor shows only while Save works
        return "the busy cursor is left";
    if (modVar.TagKey != model.tagKey || modVar.TagOpen != model.tagOpen ||
        modVar.TagClose != model.tagClose || modVar.LastRule != model.lastRule ||
        (model.open.count("frmSelection") && modVar.EditKey != model.editKey))
        return "shared variables differ";
    if (!script.saves.empty() || !script.colours.empty() ||
        script.messages.size() != model.messages)
        return "dialogs and messages differ: " + script.messages.join('|');
    QStringList open, expected{"frmMain"};
    for (QWidget* w : QApplication::topLevelWidgets()) {
        // Tab moves from a control to another that takes it: never a label, a disabled
        // control or the hidden buffer.
        if (QWidget* focus = w->focusWidget();
            focus && (!focus->isEnabled() || !focus->isVisible() || qobject_cast<QLabel*>(focus)))
            return "the focus is lost in " + w->objectName();
        w->isVisible() ? open << w->objectName() : open;
    }
    for (const auto& [name, shows] : model.open) {
        expected << name;
        QWidget* w = window(qPrintable(name));
        // The window's own focus, which it has whether or not the platform activated it yet.
        if (const auto it = model.focus.find(name); it != model.focus.end()) {
            QWidget* focused = w->focusWidget();
            QWidget* wanted = control<QWidget>(w, qPrintable(it->second));
            if (!focused || (focused != wanted && !wanted->isAncestorOf(focused)))
                return name + ": the focus is not in " + it->second;
        }
        QObjectList controls{nullptr};
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            controls << edit;
        for (const auto& [control, text] : shows)
            controls << (control.isEmpty() ? nullptr : w->findChild<QObject*>(control));
        for (QObject* control : controls) { // boxes the model does not name are empty
            const auto [what, text] = shown(w, control);
            if (const auto it = shows.find(what); text != (it == shows.end() ? "" : it->second))
                return name + "." + what + " shows " + QString::fromStdString(text);
        }
    }
    if (open.sort(), expected.sort(), open != expected)
        return "the open windows are " + open.join(',');
    if (QWidget* editor = window("frmSelection")) {
        if (control<QPushButton>(editor, "cmdAddSelection")->isEnabled() ==
            model.open["frmSelection"]["txtHolder"].empty())
            return "Add Selection state differs";
    }
    for (const auto& [path, bytes] : model.files) {
        if (fileBytes(path).toStdString() != bytes)
            return path + " differs";
    }
    if (QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size() !=
        qsizetype(model.files.size()))
        return "a stray file was left";
    return {};
}

void tst_Windows::walkMatchesModel()
{
    const unsigned seed = qEnvironmentVariableIsSet("RULECRAFT_WALK_SEED")
                              ? qEnvironmentVariableIntValue("RULECRAFT_WALK_SEED")
                              : 20260101u;
    const int steps = qEnvironmentVariableIsSet("RULECRAFT_WALK_STEPS")
                          ? qEnvironmentVariableIntValue("RULECRAFT_WALK_STEPS")
                          : 20000;
    random.seed(seed);
    QCOMPARE(main()->focusWidget()->objectName(), "tBody");
    for (const TagButton& tag : catalogue)
        QCOMPARE(control<QPushButton>(main(), tag.name)->text(), tag.caption);
    // A file the user may not write, so that the first save of a run may fail.
    const QString locked = dir->filePath("out-3.css");
    QFile file(locked);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("locked") == 6);
    file.close();
    model.files[locked] = "locked";
    model.readOnly[locked] = QFile::setPermissions(locked, QFile::ReadOwner);
    std::map<QString, int> taken;
    for (step = 1; step <= steps; ++step) {
        const Actions possible = actions();
        const auto& [name, run] = possible[below(int(possible.size()))];
        model.mainFocus.clear();
        run();
        ++taken[name];
        // Let closed windows go, as the event loop would between two user actions.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QString wrong = mismatch();
        QVERIFY2(
            wrong.isEmpty(),
            qPrintable(
                QStringLiteral("seed %1, step %2 (%3): %4").arg(seed).arg(step).arg(name, wrong)));
    }
    // Each ending ends every window at once; an open editor commits nothing.
    const unsigned ending = seed % 5;
    ending == 0   ? click(main(), "cmdExit")
    : ending == 1 ? (void)main()->close()
                  : (void)::raise(std::array{SIGTERM, SIGHUP, SIGINT}[ending - 2]);
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(modVar.LastRule, model.lastRule);
    QStringList counts;
    for (const auto& [name, count] : taken)
        counts << QStringLiteral("%1 %2").arg(count).arg(name);
    qInfo("seed %u, %d steps, ended by %s: %s", seed, steps, endings[ending],
          qPrintable(counts.join(", ")));
}

void tst_Windows::controlsFitTheirWindowAndEachOther_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("main") << QByteArray() << QByteArray("frmMain");
    QTest::newRow("editor") << QByteArray("cmdTD") << QByteArray("frmSelection");
    QTest::newRow("size") << QByteArray("cmdH") << QByteArray("frmHSize");
    QTest::newRow("custom") << QByteArray("cmdCustom") << QByteArray("frmCustom");
    QTest::newRow("about") << QByteArray("cmdAbout") << QByteArray("frmAbout");
}

void tst_Windows::controlsFitTheirWindowAndEachOther()
{
    QFETCH(QByteArray, opener);
    QFETCH(QByteArray, name);
    QWidget* opened = opener.isEmpty() ? main() : open(opener, name);
    QVERIFY(opened);
    // The face the layout was drawn for is installed by the set-up command.
    QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Liberation Sans"));
    const bool tool = name != "frmMain";
    QCOMPARE(opened->windowType() == Qt::Tool, tool);
    QCOMPARE(opened->minimumSize() == opened->maximumSize(), tool);
    QVERIFY(!tool || !(opened->windowFlags() & Qt::WindowMinMaxButtonsHint));
    // Inside the screen; one larger than the screen (at a large scale factor) starts at its
    // top left.
    const QRect frame = opened->frameGeometry(), room = opened->screen()->availableGeometry();
    QVERIFY((frame.left() == room.left() || frame.left() > room.left()) &&
            (frame.right() <= room.right() || frame.left() == room.left()));
    QVERIFY((frame.top() == room.top() || frame.top() > room.top()) &&
            (frame.bottom() <= room.bottom() || frame.top() == room.top()));
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
}

void tst_Windows::saveAsSession()
{
    realDialogs();
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tHR"), "hr {  }");
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    const QString sub = dir->filePath("sub"), old = dir->filePath("sub/old.css");
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'o')) == 5000);
    file.close();
    // The dialogs' private folder is made only when the first of them opens.
    QVERIFY(QDir(runtime->path()).isEmpty());

    // The three types, a folder that does not exist refused with the dialog left open, and
    // a name without an extension kept as it is.
    QStringList offered, privateFolders;
    QString refusal;
    bool stayedOpen = false;
    onNextModal([&](QWidget* dialog) {
        offered = static_cast<QFileDialog*>(dialog)->nameFilters();
        privateFolders = QDir(runtime->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        static_cast<QFileDialog*>(dialog)->setDirectory(sub);
        nameBox(dialog)->setText("missing/style.css");
        refusal = confirmAndAnswer(dialog, QMessageBox::Ok);
        stayedOpen = dialog->isVisible();
        static_cast<QFileDialog*>(dialog)->selectNameFilter("CSS Files(*.css)");
        nameBox(dialog)->setText("style");
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdSave");
    QCOMPARE(offered, (QStringList{"Text Files(*.txt)", "HTML Files(*.html)", "CSS Files(*.css)"}));
    QCOMPARE(privateFolders.size(), 1);
    QVERIFY2(refusal.contains("The folder does not exist") && stayedOpen, qPrintable(refusal));
    QCOMPARE(fileBytes(sub + "/style"), "hr {  }\r\n\r\n");

    // The next starts at that path; replacing a file asks first, and No keeps the dialog.
    QStringList start, questions;
    QList<bool> open;
    onNextModal([&](QWidget* dialog) {
        start << static_cast<QFileDialog*>(dialog)->directory().absolutePath()
              << nameBox(dialog)->text();
        nameBox(dialog)->setText(old);
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes})
            questions << confirmAndAnswer(dialog, answer), open << dialog->isVisible();
    });
    click(main(), "cmdSave");
    QCOMPARE(start, (QStringList{sub, "style"}));
    QVERIFY2(questions.size() == 2 && questions.filter("old.css").size() == 2,
             qPrintable(questions.join('|')));
    QCOMPARE(open, (QList<bool>{true, false}));
    QCOMPARE(fileBytes(old), "hr {  }\r\n\r\n");

    // With that folder gone, the next starts at the nearest one left.
    QVERIFY(QDir(sub).removeRecursively());
    start.clear();
    onNextModal([&](QWidget* dialog) {
        start << static_cast<QFileDialog*>(dialog)->directory().absolutePath()
              << nameBox(dialog)->text();
        static_cast<QDialog*>(dialog)->reject();
    });
    click(main(), "cmdSave");
    QCOMPARE(start, (QStringList{dir->path(), "old.css"}));
}

void tst_Windows::colourSession()
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
    // The next starts at that colour, and Cancel leaves the box as it is.
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

void tst_Windows::selectorPastTheLineEditLimit()
{
    // A selector of 1 MB, past the 32,767 characters a line edit takes by default, and a
    // holder of 100,000 declarations.
    const QString selector = QStringLiteral("div.a ").repeated(1024 * 1024 / 6);
    paste(control<QLineEdit>(open("cmdCustom", "frmCustom"), "txtName"), selector);
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
    // A browser opener that fails, or none at all, is said with the address, once a press.
    Preview& preview = static_cast<frmMain*>(main())->preview();
    const QByteArray path = qgetenv("PATH");
    QFile opener(dir->filePath("xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly) && opener.write("#!/bin/sh\nexit 3\n") > 0);
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    for (const QString& folder : {dir->path(), dir->filePath("none")}) {
        qputenv("PATH", folder.toLocal8Bit());
        click(main(), "previewButton");
        QTRY_COMPARE(script.messages.size(), folder == dir->path() ? 1 : 2);
        QVERIFY(script.messages.last().contains(preview.address().toString()));
    }
    qputenv("PATH", path);
    script.messages.clear();

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
                 .match(page.toString())
                 .hasMatch(),
             qPrintable(page.toString()));
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
    // Only ordinary elements get a sample, and only the first hundred selectors.
    QString more = "\rem { }\rplaintext { }\rp.<b> { }\r";
    for (int i = 0; i < 101; ++i)
        more += QStringLiteral("div.c%1 { }\r").arg(i);
    custom->moveCursor(QTextCursor::End);
    paste(custom, more);
    QTRY_VERIFY((third = fetch(stamps).split(' ')).value(0) != second.value(0));
    QVERIFY(third.value(1) != second.value(1));
    const QByteArray samples = fetch(page);
    for (const char* part :
         {"<em>em</em>", "<div class=\"c95\">div.c95</div>", "<li>plaintext: not shown</li>",
          "<li>p.&lt;b&gt;: not shown</li>", "<li>5 more rules: not shown</li>"})
        QVERIFY2(samples.contains(part), part);

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

    cannotOpen(), cannotOpen();
    QCOMPARE(script.messages.size(), 1);
    // The server ends with the program.
    click(main(), "cmdExit");
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    fetch(page, "GET", {}, &status);
    QCOMPARE(status, 0);
}

int main(int argc, char* argv[])
{
    // A home and a login's runtime folder of its own, set before Qt reads where settings
    // live.
    QTemporaryDir ownHome, ownRuntime;
    home = &ownHome, runtime = &ownRuntime;
    qputenv("HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", ownRuntime.path().toLocal8Bit());
    QApplication app(argc, argv);
    tst_Windows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
