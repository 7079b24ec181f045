// SPDX-License-Identifier: GPL-3.0-or-later
// The windows as a user meets them. The walk: seeded random user actions over all five
// windows, compared after every step with a model of its own (the program's tables written
// out again here, with small independent versions of routing and assembly; the code page is
// the fuzzer's to check, character by character against glibc's iconv).
// Beside it, what the walk does not reach: the layout, a session with each of Qt's real
// Save As and Colour dialogs, and the preview over HTTP. Everything runs with a home and a
// login runtime folder of its own, both empty again once the program has ended.
//
//   RULECRAFT_WALK_SEED=n RULECRAFT_WALK_STEPS=n ./tst_windows walkMatchesModel
//   (defaults 20260101 and 20000; the seed modulo 5 chooses how the walk ends)
#include "core/modvar.h"
#include "windows/commondialog.h"
#include "windows/declarationsbox.h"
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/preview.h"
#include "windows/previewserver.h"
#include "windows/session.h"
#include "windows/stylesheetbuffer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <future>
#include <map>
#include <random>
#include <ranges>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A control that is missing ends the run: nothing after it could be trusted.
template <typename Control> Control* control(QWidget* window, const char* name)
{
    Control* found = window ? window->findChild<Control*>(QLatin1String(name)) : nullptr;
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton);
}

// Any text, a key press for each character (both halves of a pair at once), as an input
// method would type it.
void typeText(QWidget* control, const QString& text)
{
    QWidget* target = control->focusProxy() ? control->focusProxy() : control;
    for (qsizetype i = 0, length = 1; i < text.size(); i += length) {
        length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, length));
        QApplication::sendEvent(target, &press);
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

bool writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(mode);
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

// Types a name once the dialog has read its folder: until then its listing may select a file
// and put that name over the one typed.
void typeName(QWidget* dialog, const QString& name)
{
    auto* files = dialog->findChild<QFileSystemModel*>();
    const QModelIndex folder = files->index(static_cast<QFileDialog*>(dialog)->directory().path());
    (void)QTest::qWaitFor([&] { return files->rowCount(folder) > 0; }, 5000);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
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

// Sends a head and then up to bodyBytes (below zero: shuts the sending side down), from a
// thread of its own, so that the server runs on this thread's event loop while the client
// waits; gives the answer and whether the server closed the connection without a reset.
std::pair<QByteArray, bool> exchange(quint16 port, const QByteArray& head, qsizetype bodyBytes)
{
    auto done = std::async(std::launch::async, [=] {
        // Plain sockets, so that a body of any size is sent without being kept; 5 s at most
        // for anything.
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        const timeval wait{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        send(fd, head.constData(), static_cast<size_t>(head.size()), MSG_NOSIGNAL);
        static const std::string piece(64 * 1024, 'x');
        for (qsizetype sent = 0, n = 0; sent < bodyBytes && n >= 0; sent += n)
            n = send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
        if (bodyBytes < 0)
            shutdown(fd, SHUT_WR);
        std::pair<QByteArray, bool> answer;
        char buffer[4096];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.first.append(buffer, n);
        answer.second = n == 0;
        close(fd);
        return answer;
    });
    while (done.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        QTest::qWait(10);
    return done.get();
}

// The body of the answer to a GET on a connection of its own.
QByteArray fetch(const QUrl& url)
{
    const QByteArray answer =
        exchange(url.port(),
                 "GET " + url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) +
                     " HTTP/1.1\r\nHost: " + url.authority().toLatin1() +
                     "\r\nConnection: close\r\n\r\n",
                 0)
            .first;
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

// clang-format off
// The tag buttons by their captions, as a user finds them.
struct TagButton { QString caption; std::string key, opener; };
const TagButton catalogue[] = {
    {"Create BODY:", "body", "body { "}, {"Create A:", "a", "a { "},
    {"Create A:link", "alink", "a:link { "}, {"Create A:visited", "avisited", "a:visited { "},
    {"Create A:hover", "ahover", "a:hover { "}, {"Create TABLE:", "table", "table { "},
    {"Create TR:", "tr", "tr { "}, {"Create TD:", "td", "td { "}, {"Create HR:", "hr", "hr { "}};
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
const std::map<std::string, int> fixedKeys{
    {"body", 0}, {"a", 1}, {"alink", 1}, {"avisited", 1}, {"ahover", 1}, {"table", 2}, {"tr", 2},
    {"td", 2}, {"hr", 3}, {"h1", 4}, {"h2", 4}, {"h3", 4}, {"h4", 4}, {"h5", 4}, {"h6", 4}};
// The characters the walk types.
const QStringList pieces{"a",      "Z",      "7",      " ",      "{",          ";",      ":", "-",
                         "\u00e9", "\u00a0", "\u20ac", "\u6f22", "\U0001F600", "\u0416", "\u00ff"};
// clang-format on

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
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
    const bool line = qobject_cast<QLabel*>(control) || qobject_cast<QLineEdit*>(control);
    QString text = control->property(line ? "text" : "plainText").toString();
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
    std::string sections[6], buffer, editKey, editOpen;
    // The open windows besides the main window, each with what its controls show.
    std::map<QString, std::map<QString, std::string>> open;
    std::map<QString, QString> focus; // where each window has it, as far as it is known
    std::map<QString, std::string> files;
    std::map<QString, bool> readOnly;
    bool saved = false;
    QString opened;         // the file an Open read last, named in the title
    bool unwritten[6] = {}; // changed since a Save or Open wrote the section
    QString broken;         // what an action found wrong beyond what is compared
    qsizetype messages = 0;
    // What the body section held before a body commit, and the step of that commit.
    std::string bodyBefore;
    bool bodyWasUnwritten = false;
    int bodyCommitStep = -1;

    void chooseTag(const std::string& key, const std::string& opener)
    {
        if (open.count("frmSelection"))
            return;
        editKey = key, editOpen = opener, focus["frmSelection"] = "cFont";
        open["frmSelection"] = {{"", key + " { PROPERTY : VALUE }"},
                                {"Label", "Editing Tag for: " + key + " Selector"},
                                {"txtHolder", ""}};
    }
};

QTemporaryDir* runtime = nullptr;
Session* session = nullptr;

} // namespace

class tst_Windows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void walkMatchesModel();
    void controlsFitAndTabInOrder_data();
    void controlsFitAndTabInOrder();
    void keysPressOnlyTheirOwnWindowsButtons_data();
    void keysPressOnlyTheirOwnWindowsButtons();
    void saveAsSession();
    void droppedStylesheetOpens();
    void colourSession();
    void previewServesWhatSaveWrites();
    void previewShowsWhatTheBrowserIgnores();
    void previewServerBoundsEveryClient_data();
    void previewServerBoundsEveryClient();

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
    void fitsAndIsInsideTheScreen(QWidget* window);

    CommonDialog::Script script;
    std::optional<QTemporaryDir> dir; // a fresh folder for each test
    std::mt19937 random;
    int step = 0;
    Model model;
};

void tst_Windows::init()
{
    // Starts the program as main() does, with the shared state empty again.
    modVar = {}, script = {}, model = {};
    dir.emplace();
    answers = new QObject(this);
    applyApplicationLook();
    frmMain& started = openWindow<frmMain>(nullptr);
    session->endOnTerminationSignals(&started);
    started.commonDialog().setScript(&script);
    QVERIFY(QTest::qWaitForWindowExposed(&started));
}

void tst_Windows::cleanup()
{
    delete answers;
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->close();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

QString tst_Windows::someText()
{
    QString text;
    for (int i = below(8); i >= 0; --i)
        text += pieces[below(int(pieces.size()))];
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
    const QList<QPushButton*> buttons = main->findChildren<QPushButton*>();
    for (const TagButton& tag : catalogue) {
        const auto found = std::find_if(buttons.begin(), buttons.end(),
                                        [&](QPushButton* b) { return b->text() == tag.caption; });
        if (found == buttons.end())
            qFatal("no button %s", qPrintable(tag.caption));
        add("tag button", [=, this, &tag, button = *found] {
            QTest::mouseClick(button, Qt::LeftButton), model.chooseTag(tag.key, tag.opener);
        });
    }
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
    add("type in a section", [=, this] {
        const int s = below(6), key = below(4);
        // Now and then blanks over all the section holds: blanks alone still make a section.
        const bool blanks = below(6) == 0;
        const QString text = blanks ? QString(1 + below(2), ' ') : someText();
        blanks ? section(s)->selectAll() : section(s)->moveCursor(QTextCursor::End);
        typeText(section(s), text);
        // Enter breaks the paragraph, Shift+Enter the line; Tab only leaves.
        if (key < 3)
            QTest::keyClick(section(s), key == 2 ? Qt::Key_Tab : Qt::Key_Return,
                            key == 1 ? Qt::ShiftModifier : Qt::NoModifier);
        const std::string typed = utf8(text) + (key < 2 ? "\r\n" : "");
        model.sections[s] = blanks ? typed : model.sections[s] + typed;
        model.unwritten[s] = true;
    });
    const auto save = [=, this] {
        const int kind = below(10); // 0: Cancel; 1: a missing folder first
        // out-3.css is read-only: often the first save of a run, which then fails.
        const int file = model.saved || below(2) ? below(4) : 3;
        const QString path = dir->filePath(QStringLiteral("out-%1.css").arg(file));
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
            model.files[path] = toWindows1252(model.buffer) + "\r\n", model.saved = true,
            model.opened.clear(), std::ranges::fill(model.unwritten, false);
    };
    add("save", save);
    // Open: Cancel, a missing file, or one of the files saved; it asks first where a section
    // holds text no Save or Open wrote, and Cancel is the default answer.
    add("open", [=, this] {
        const int kind = below(4);
        auto file = model.files.begin();
        std::advance(file, below(int(model.files.size())));
        const QString path = kind == 1 ? dir->filePath("missing.css") : file->first;
        script.opens.push_back(kind == 0 ? std::nullopt : std::optional(path));
        const bool asked = kind > 1 && std::ranges::any_of(std::views::iota(0, 6), [&](int s) {
                               return model.unwritten[s] && !model.sections[s].empty();
                           });
        const bool answered = asked && below(3) > 0; // else the default, Cancel
        const bool replace = !asked || (answered && below(2) == 0);
        if (answered)
            script.confirmations.push_back(replace);
        model.messages += kind == 1 || asked;
        click(main, "cmdOpen");
        if (kind < 2 || !replace)
            return;
        // What the boxes hold is the core's tests', the fuzzer's and the Open sessions' to
        // check; the walk goes on from it.
        for (int s = 0; s < 6; ++s)
            model.sections[s] = shown(main, section(s)).second;
        model.opened = QFileInfo(path).fileName(), std::ranges::fill(model.unwritten, false);
    });
    // The replacement of the body section is one step of its undo history; taken back about
    // once in four commits.
    for (int weight = 0; weight < 20 && model.bodyCommitStep == step - 1; ++weight)
        add("Ctrl+Z after a body commit", [=, this] {
            QTest::keyClick(section(0), Qt::Key_Z, Qt::ControlModifier);
            model.sections[0] = model.bodyBefore, model.unwritten[0] = model.bodyWasUnwritten;
        });
    for (auto& [name, shows] : model.open) {
        QWidget* w = window(qPrintable(name));
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            add("type into a box", [=, this, &shows] {
                // As a user would, into the box with the focus; now and then a paste past
                // the 32,767 characters a line edit takes by default.
                const bool paste = below(300) == 0;
                const QString text = paste ? QStringLiteral("div.a ").repeated(6000) : someText();
                edit->setFocus();
                paste ? ::paste(edit, text) : typeText(edit, text);
                shows[shown(w, edit).first] += utf8(text);
                model.focus[name] = shown(w, edit).first;
            });
        for (QComboBox* box : w->findChildren<QComboBox*>())
            add("pick from a list", [=, this, &shows] {
                const int entry = below(box->count());
                box->setCurrentIndex(entry);
                shows[box->objectName()] = utf8(lists.at(box->objectName()).value(entry));
            });
        add("close", [=, this] { w->close(), model.open.erase(name); });
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
    if (!shows["txtHolder"].empty())
        add("Add Selection", [=, this, &shows] {
            click(editor, "cmdAddSelection");
            const std::string rule = model.editOpen + shows["txtHolder"] + " }\r\n";
            const auto fixed = fixedKeys.find(model.editKey);
            const int s = fixed == fixedKeys.end() ? 5 : fixed->second;
            if (s == 0)
                model.bodyBefore = model.sections[0], model.bodyCommitStep = step;
            model.sections[s] = (s == 0 ? "" : model.sections[s]) + rule;
            model.bodyWasUnwritten = model.unwritten[0], model.unwritten[s] = true;
            model.open.erase("frmSelection");
        });
    add("Close Window", [=, this] { click(editor, "cmdClose"), model.open.erase("frmSelection"); });
    return list;
}

// The first difference between the windows and the model, or nothing.
QString tst_Windows::mismatch()
{
    QWidget* main = window("frmMain");
    if (!model.broken.isEmpty())
        return model.broken;
    for (int s = 0; s < 6; ++s) {
        if (shown(main, control<QPlainTextEdit>(main, sectionNames[s])).second != model.sections[s])
            return QStringLiteral("section %1 differs").arg(sectionNames[s]);
    }
    // A date in whatever short format the user has, with the year, and no time of day.
    static const QRegularExpression savedTitle(
        QStringLiteral("^Rulecraft v1 :: File saved on [^:]*%1[^:]*$")
            .arg(QDate::currentDate().year() % 100));
    if (!model.opened.isEmpty() ? main->windowTitle() != "Rulecraft V1 :: " + model.opened
        : model.saved           ? !savedTitle.match(main->windowTitle()).hasMatch()
                                : main->windowTitle() != "Rulecraft V1")
        return "title is " + main->windowTitle();
    if (control<StylesheetBuffer>(main, "h")->text() != model.buffer)
        return "the stylesheet buffer differs";
    if (!script.saves.empty() || !script.colours.empty() || !script.opens.empty() ||
        !script.confirmations.empty() || script.messages.size() != model.messages)
        return "dialogs and messages differ: " + script.messages.join('|');
    QStringList open, expected{"frmMain"};
    for (QWidget* w : QApplication::topLevelWidgets())
        w->isVisible() ? open << w->objectName() : open;
    for (const auto& [name, shows] : model.open) {
        expected << name;
        QWidget* w = window(qPrintable(name));
        // The window's own focus, which it has whether or not the platform activated it yet.
        if (const auto it = model.focus.find(name);
            it != model.focus.end() && !it->second.isEmpty()) {
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
    if (QWidget* editor = window("frmSelection");
        editor && control<QPushButton>(editor, "cmdAddSelection")->isEnabled() ==
                      model.open["frmSelection"]["txtHolder"].empty())
        return "Add Selection state differs";
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
    bool set = false;
    const int chosenSeed = qEnvironmentVariableIntValue("RULECRAFT_WALK_SEED", &set);
    const unsigned seed = set ? unsigned(chosenSeed) : 20260101u;
    const int chosenSteps = qEnvironmentVariableIntValue("RULECRAFT_WALK_STEPS", &set);
    const int steps = set ? chosenSteps : 20000;
    random.seed(seed);
    // A file the user may not write, so that the first save of a run may fail.
    const QString locked = dir->filePath("out-3.css");
    QVERIFY(writeFile(locked, "locked", QFile::ReadOwner));
    model.files[locked] = "locked", model.readOnly[locked] = true;
    for (step = 1; step <= steps; ++step) {
        const Actions possible = actions();
        const auto& [name, run] = possible[below(int(possible.size()))];
        run();
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
}

void tst_Windows::controlsFitAndTabInOrder_data()
{
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("order");
    // clang-format off
    QTest::newRow("main") << "" << "frmMain" << "tBody tA tTABLE tHR tH tBlank cmdBody cmdA "
        "cmdTable cmdHR cmdH cmdCustom cmdAlink cmdAvisited cmdAhover cmdTR cmdTD cmdExit cmdSave cmdOpen "
        "cmdAbout previewButton";
    QTest::newRow("editor") << "cmdTD" << "frmSelection" << "cFont tFont cAFont cText tText "
        "cAText cPadding tPadding cAPadding cBorder tBorder cABorder cMargin tMargin cAMargin "
        "cBackground tBackground cABackground tColor cAColor cmdAddSelection txtHolder cmdClose "
        "cmdSelColor";
    QTest::newRow("heading size") << "cmdH" << "frmHSize" << "cmbH Command1";
    QTest::newRow("custom tag") << "cmdCustom" << "frmCustom" << "txtName Command1";
    QTest::newRow("about") << "cmdAbout" << "frmAbout" << "cmdOK";
    // clang-format on
}

void tst_Windows::controlsFitAndTabInOrder()
{
    QFETCH(QString, opener);
    QFETCH(QString, name);
    QFETCH(QString, order);
    QWidget* w =
        opener.isEmpty() ? main() : (click(main(), qPrintable(opener)), window(qPrintable(name)));
    fitsAndIsInsideTheScreen(w);
    // At every scale the section boxes' frames are whole: their bottom row, corners aside,
    // is the colour of their left edge; at 1x the frame is one pixel, as it always was.
    for (int s = 0; s < (name == "frmMain" ? 6 : 0); ++s) {
        const QImage grab = control<QWidget>(w, sectionNames[s])->grab().toImage();
        const int width = grab.width(), h = grab.height();
        const QRgb frame = grab.pixel(0, h / 2);
        for (int x = 1; x < width - 1; ++x)
            QVERIFY2(grab.pixel(x, h - 1) == frame,
                     qPrintable(QStringLiteral("%1 at x %2").arg(sectionNames[s]).arg(x)));
        if (grab.devicePixelRatio() == 1)
            QVERIFY(grab.pixel(width / 2, 1) != frame && grab.pixel(width / 2, h - 2) != frame);
    }
    // Tab goes round the order from its first control, where the main window opens with the
    // focus; the editor holds a declaration, so that Add Selection is not passed over.
    if (name == "frmSelection")
        click(w, "cAColor"), control<QWidget>(w, "cFont")->setFocus();
    QStringList expected = order.split(' '), walked;
    for (expected << expected.first(); walked.size() < expected.size();) {
        walked << shown(w, w->focusWidget()).first;
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(walked, expected);
}

void tst_Windows::fitsAndIsInsideTheScreen(QWidget* opened)
{
    QVERIFY(opened);
    // Inside the screen; one larger than the screen (at a large scale factor) starts at its
    // top left.
    const QRect frame = opened->frameGeometry(), room = opened->screen()->availableGeometry();
    QVERIFY(frame.left() >= room.left() &&
            (frame.right() <= room.right() || frame.left() == room.left()));
    QVERIFY(frame.top() >= room.top() &&
            (frame.bottom() <= room.bottom() || frame.top() == room.top()));
    QList<QWidget*> controls;
    for (QWidget* w : opened->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->isWindow() && !w->isHidden())
            controls << w;
    }
    for (QWidget* control : controls) {
        const QString what = control->objectName();
        QVERIFY2(opened->rect().contains(control->geometry()),
                 qPrintable(what + " leaves its window"));
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

void tst_Windows::keysPressOnlyTheirOwnWindowsButtons_data()
{
    // Where the key goes: the window (opened by a main window's button), the control with
    // the focus (empty: where the window puts it); the key, and the button it presses.
    for (const char* column : {"opener", "name", "focus", "key", "pressed"})
        QTest::addColumn<QString>(column);
    // clang-format off
    const QStringList windows[] = {{"", "frmMain", "cmdHR"}, {"cmdTD", "frmSelection", "cABorder"},
        {"cmdH", "frmHSize", "Command1"}, {"cmdCustom", "frmCustom", "Command1"},
        {"cmdAbout", "frmAbout", "cmdOK"}};
    const std::pair<QString, QString> accessKeys[] = {{"Alt+S", "cmdSave"}, {"Alt+A", "cmdAbout"},
        {"Alt+P", "previewButton"}, {"Alt+X", "cmdExit"}, {"Alt+O", "cmdOpen"}, {"Ctrl+O", "cmdOpen"}};
    // clang-format on
    for (const QStringList& w : windows) {
        const auto row = [&](const QString& focus, const QString& key, const QString& pressed) {
            QTest::addRow("%s %s %s", qPrintable(w[1]), qPrintable(key), qPrintable(focus))
                << w[0] << w[1] << focus << key << pressed;
        };
        for (const auto& [key, button] : accessKeys)
            row("", key, w[1] == "frmMain" ? button : "");
        row(w[2], w[1] == "frmMain" ? "Num+Enter" : "Return", w[2]);
        row("", "Esc", "");
    }
    // clang-format off
    QTest::newRow("Enter in the tag name") << "cmdCustom" << "frmCustom" << "txtName" << "Return" << "";
    // clang-format on
}

void tst_Windows::keysPressOnlyTheirOwnWindowsButtons()
{
    QFETCH(QString, opener);
    QFETCH(QString, name);
    QFETCH(QString, focus);
    QFETCH(QString, key);
    QFETCH(QString, pressed);
    // Preview finds a browser that fails, and says so in a message.
    const QByteArray path = qgetenv("PATH");
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    QVERIFY(writeFile(dir->filePath("xdg-open"), "#!/bin/sh\nexit 3\n",
                      QFile::ReadOwner | QFile::ExeOwner));
    qputenv("PATH", dir->path().toLocal8Bit());
    if (!opener.isEmpty())
        click(main(), qPrintable(opener));
    QWidget* w = window(qPrintable(name));
    QVERIFY(w);
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
    if (!focus.isEmpty())
        control<QWidget>(w, qPrintable(focus))->setFocus();
    // The main window's buttons and those of the windows it owns.
    QStringList clicked;
    for (QPushButton* button : main()->findChildren<QPushButton*>())
        connect(button, &QPushButton::clicked, answers,
                [&clicked, button = button->objectName()] { clicked << button; });
    QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
    // An access key presses its button a moment later, as a click shown on screen.
    QTest::qWait(200);
    QCOMPARE(clicked, pressed.isEmpty() ? QStringList() : QStringList{pressed});
    if (pressed.isEmpty())
        QVERIFY(main() && window(qPrintable(name)));
}

void tst_Windows::saveAsSession()
{
    realDialogs();
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tHR"), "hr {  }");
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    const QString sub = dir->filePath("sub"), old = dir->filePath("sub/old.css");
    QVERIFY(writeFile(old, QByteArray(5000, 'o'), QFile::ReadOwner | QFile::WriteOwner));
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
        typeName(dialog, "missing/style.css");
        refusal = confirmAndAnswer(dialog, QMessageBox::Ok);
        stayedOpen = dialog->isVisible();
        static_cast<QFileDialog*>(dialog)->selectNameFilter("CSS Files(*.css)");
        typeName(dialog, "style");
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdSave");
    QTRY_COMPARE(QApplication::activeWindow(), main());
    QCOMPARE(offered, (QStringList{"Text Files(*.txt)", "HTML Files(*.html)", "CSS Files(*.css)"}));
    QCOMPARE(privateFolders.size(), 1);
    QVERIFY2(refusal.contains("The folder does not exist") && stayedOpen, qPrintable(refusal));
    QCOMPARE(fileBytes(sub + "/style"), "hr {  }\r\n\r\n");

    // The next starts at that path, a file now, whose replacing is asked first; No keeps
    // the dialog.
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tHR"), "x");
    QStringList start, questions;
    QList<bool> open;
    onNextModal([&](QWidget* dialog) {
        start << static_cast<QFileDialog*>(dialog)->directory().absolutePath()
              << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes})
            questions << confirmAndAnswer(dialog, answer), open << dialog->isVisible();
    });
    click(main(), "cmdSave");
    QCOMPARE(start, (QStringList{sub, "style"}));
    QCOMPARE(questions.filter("style").size(), 2);
    QCOMPARE(open, (QList<bool>{true, false}));
    QCOMPARE(fileBytes(sub + "/style"), "hr {  }x\r\n\r\n");

    // Open starts at the file saved last, offers the same types, and asks before replacing
    // what no Save or Open wrote, Cancel being the default; the text after the rule's brace
    // is no rule and goes to the custom section.
    QTest::keyClicks(control<QPlainTextEdit>(main(), "tBody"), "body { }");
    QStringList opening;
    QString question;
    onNextModal([&](QWidget* dialog) {
        opening << static_cast<QFileDialog*>(dialog)->nameFilters()
                << static_cast<QFileDialog*>(dialog)->selectedNameFilter()
                << static_cast<QFileDialog*>(dialog)->directory().absolutePath()
                << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        onNextModal(
            [&](QWidget* box) {
                auto* message = static_cast<QMessageBox*>(box);
                question = message->text();
                QCOMPARE(message->defaultButton(), message->button(QMessageBox::Cancel));
                message->buttons().constFirst()->click();
            },
            dialog);
        static_cast<QDialog*>(dialog)->accept();
    });
    click(main(), "cmdOpen");
    QCOMPARE(opening, offered + QStringList({"CSS Files(*.css)", sub, "style"}));
    QVERIFY2(question.contains(QDir::toNativeSeparators(sub + "/style")), qPrintable(question));
    const QString sections[] = {"", "", "", "hr {  }\r\n", "", "x\r\n"};
    for (int s = 0; s < 6; ++s)
        QCOMPARE(shown(main(), control<QPlainTextEdit>(main(), sectionNames[s])).second,
                 utf8(sections[s]));
}

// A .css file dropped on the window or on a box opens, where the box would paste its name.
void tst_Windows::droppedStylesheetOpens()
{
    const QString path = dir->filePath("dropped.css");
    // Text that is no rule, whose CR LF and then whose U+1F600 straddle the edges of the
    // pieces a box is filled in.
    const QString custom =
        "/*" + QString(65531, 'a') + "*/\r\n/*" + QString(65532, 'b') + "\U0001F600*/\r\n";
    QVERIFY(writeFile(path, "td { }\r\n\r\n" + custom.toUtf8() + "\r\n\r\n", QFile::ReadOwner));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    data.setText(path);
    for (QWidget* target : {main(), control<QPlainTextEdit>(main(), "tBody")->viewport()}) {
        control<QPlainTextEdit>(main(), "tTABLE")->clear();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QCOMPARE(shown(main(), control<QPlainTextEdit>(main(), "tTABLE")).second, "td { }\r\n");
        QCOMPARE(shown(main(), control<QPlainTextEdit>(main(), "tBody")).second, "");
        QVERIFY(shown(main(), control<QPlainTextEdit>(main(), "tBlank")).second == utf8(custom));
    }
}

void tst_Windows::colourSession()
{
    // The colour chosen comes back in CSS notation; the next dialog starts at it, and Cancel
    // leaves the box as it is.
    realDialogs();
    click(main(), "cmdA");
    QWidget* editor = window("frmSelection");
    QList<QColor> offered;
    for (const bool confirm : {true, false}) {
        onNextModal([&](QWidget* modal) {
            auto* dialog = static_cast<QColorDialog*>(modal);
            offered << dialog->currentColor();
            if (confirm)
                dialog->setCurrentColor(QColor(0x0A, 0xBC, 0xDE)), dialog->accept();
            else
                dialog->reject();
        });
        click(editor, "cmdSelColor");
        // The keys go back to the editor, where the focus has not moved.
        QTRY_COMPARE(QApplication::activeWindow(), editor);
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(editor, "cmdSelColor"));
        QTest::keyClicks(control<QLineEdit>(editor, "tColor"), "x");
    }
    QCOMPARE(offered.value(1), QColor(0x0A, 0xBC, 0xDE));
    QCOMPARE(control<QLineEdit>(editor, "tColor")->text(), "#0ABCDExx");
}

void tst_Windows::previewServesWhatSaveWrites()
{
    // A browser opener that fails, or none at all, is said with the address, once a press.
    Preview& preview = static_cast<frmMain*>(main())->preview();
    const QByteArray path = qgetenv("PATH");
    QVERIFY(writeFile(dir->filePath("xdg-open"), "#!/bin/sh\nexit 3\n",
                      QFile::ReadOwner | QFile::ExeOwner));
    for (const QString& folder : {dir->path(), dir->filePath("none")}) {
        qputenv("PATH", folder.toLocal8Bit());
        click(main(), "previewButton");
        QTRY_COMPARE(script.messages.size(), folder == dir->path() ? 1 : 2);
        QVERIFY(script.messages.last().contains(preview.address().toString()));
    }
    qputenv("PATH", path);
    // Each serving draws a secret of its own.
    const QString secret = preview.address().path();
    preview.setBrowser([](const QUrl&, std::function<void()>) {});
    preview.close();
    preview.open();
    QVERIFY(preview.address().path() != secret);

    // The stylesheet is Save's bytes, whatever the characters, a section of megabytes read
    // in parts between events with a pair split at the first part's end.
    auto* custom = control<QPlainTextEdit>(main(), "tBlank");
    typeText(custom, QStringLiteral("p.note { content: \"\u00e9\u20ac\u6f22\U0001F600\"; }"));
    paste(control<QPlainTextEdit>(main(), "tH"), "/*" + QString(65533, 'x') + "\U0001F600" +
                                                     QString(99, 'y').append('\r').repeated(30000) +
                                                     "*/");
    const QUrl page = preview.address();
    const QRegularExpression loopbackWithToken("^http://127\\.0\\.0\\.1:\\d+/[0-9a-f]{32}/$");
    QVERIFY2(loopbackWithToken.match(page.toString()).hasMatch(), qPrintable(page.toString()));
    const QUrl sheet = page.resolved(QUrl("style.css"));
    QTRY_COMPARE(fetch(sheet), save("saved.css"));

    // Only ordinary elements get a sample, and only the first hundred selectors.
    QString more = "\rem { }\rplaintext { }\rp.<b> { }\r";
    for (int i = 0; i < 101; ++i)
        more += QStringLiteral("div.c%1 { }\r").arg(i);
    custom->moveCursor(QTextCursor::End);
    paste(custom, more);
    QByteArray samples;
    QTRY_VERIFY((samples = fetch(page.resolved(QUrl("sample"))))
                    .contains("<li>5 more rules: not shown</li>"));
    for (const char* part : {"<em>em</em>", "<div class=\"c95\">div.c95</div>",
                             "<li>plaintext: not shown</li>", "<li>p.&lt;b&gt;: not shown</li>"})
        QVERIFY2(samples.contains(part), part);

    // The rule being composed is served as Add Selection files it, after every Add and by
    // the editor's own tag when another is chosen meanwhile; an editor holding nothing
    // shows nothing; Close Window takes it back.
    for (const char* end : {"cmdClose", "cmdAddSelection"}) {
        click(main(), "cmdHR");
        typeText(control<QPlainTextEdit>(main(), "tA"), "/");
        QTRY_COMPARE(fetch(sheet), save("saved.css"));
        click(main(), "cmdBody");
        for (const char* value : {"red", end}) {
            QTest::keyClicks(control<QLineEdit>(window("frmSelection"), "tColor"), value);
            click(window("frmSelection"), "cAColor");
        }
        QByteArray pending;
        QTRY_VERIFY((pending = fetch(sheet)).contains(QByteArray("hr { color:red; color:") + end));
        click(window("frmSelection"), end);
        const QByteArray saved = save("saved.css");
        QTRY_COMPARE(fetch(sheet), saved);
        QCOMPARE(saved == pending, end == QByteArrayView("cmdAddSelection"));
    }

    // Only this address, and only the loopback address itself.
    QString nearToken = page.path();
    nearToken[nearToken.size() - 2] = nearToken.endsWith("0/") ? '1' : '0';
    QCOMPARE(fetch(page.resolved(QUrl(nearToken + "style.css"))), "Not found\n");
    QTcpSocket elsewhere;
    elsewhere.connectToHost("127.0.0.2", page.port());
    QVERIFY(!elsewhere.waitForConnected(5000));
}

void tst_Windows::previewShowsWhatTheBrowserIgnores()
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty() || QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("needs Debian's chromium and pdftotext");
    // Beside what is dropped: what is not (at-rules, a brace in a string, a comment,
    // !important), a sheet that would cover the notes, and 130,000 dropped parts, in rules
    // read in several parts.
    QString flood;
    for (int i = 0; i < 100; ++i)
        flood += "i {" + QString(" colr: 1;").repeated(1300) + " }\r";
    paste(
        control<QPlainTextEdit>(main(), "tBlank"),
        "body { display: none; direction: rtl; }\rhtml::before { content: \"Sample \u00e9\" }\r"
        "@font-face { font-family: f; src: url(f) }\r"
        "@page { margin: 1cm }\ra::after { content: \"}\"; }\r"
        "body::before { content: \"Nothing to report\"; position: fixed; inset: 0; z-index: 9 }\r"
        "p.note { font-size: 12 px; margin-top: 5 !important; color:#ff000; color: green "
        "!important; }\r"
        "p { text-a: \u00e9; font-colour: red; <b>x</b>: \"</style><script>\"; /* main text */ }\r"
        "a:hoverr { colr: red; }\rp..note { color: red; }\r@frobnicate;\r" +
            flood + "typed by hand\r");
    Preview& preview = static_cast<frmMain*>(main())->preview();
    preview.setBrowser([](const QUrl&, std::function<void()>) {});
    click(main(), "previewButton");

    // What a user sees printed, with the page's own script run until it has nothing left to
    // do or for budget milliseconds of its own time, while the program does what during does.
    // Chromium keeps some of its own files in a home, whatever its profile folder.
    QProcessEnvironment home = QProcessEnvironment::systemEnvironment();
    for (const char* folder : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        home.insert(folder, dir->path());
    const auto printed = [&](int budget, const std::function<void()>& during) {
        QProcess browser, text;
        browser.setProcessEnvironment(home);
        browser.start(chromium,
                      QString("--headless --no-sandbox --disable-gpu --no-first-run "
                              "--disable-background-networking --disable-component-update "
                              "--disable-sync --virtual-time-budget=%3 --user-data-dir=%1 "
                              "--print-to-pdf=%1/p.pdf %2")
                          .arg(dir->path(), preview.address().toString())
                          .arg(budget)
                          .split(' '));
        during();
        (void)QTest::qWaitFor([&] { return browser.state() == QProcess::NotRunning; }, 120000);
        text.start("pdftotext", {dir->filePath("p.pdf"), "-"});
        text.waitForFinished();
        return QString::fromUtf8(text.readAllStandardOutput()).simplified();
    };
    const QString shown = printed(4000, [] {});
    // In the sheet's order, each with its reason on one line, and nothing else listed.
    qsizetype at = 0;
    for (const char* entry :
         {"Rulecraft preview Your browser ignores these parts of the stylesheet: p.note { "
          "font-size: 12 px } — value not accepted, expected <absolute-size> |",
          "p.note { margin-top: 5 !important } — value not accepted, expected <length> | "
          "<percentage> | auto "
          "p.note { color: #ff000 } — value not accepted, expected <color> p { text-a: \u00e9 } — "
          "unknown property p { font-colour: red } — unknown property p { <b>x</b>: "
          "\"</style><script>\" } — not a declaration a:hoverr — a selector the browser cannot "
          "read p..note — a selector the browser cannot read @frobnicate; — an at-rule the browser "
          "ignores i { colr: 1 } — unknown property",
          "and 129,710 more"})
        QVERIFY2((at = shown.indexOf(QString::fromUtf8(entry), at)) >= 0,
                 qPrintable(shown.left(2000)));
    QCOMPARE(shown.count(QChar(0x2014)), 300);
    // The sheet's own rules hide the sample page, and nothing else; its characters read as
    // Save writes them. Nothing is pending, and no line says so.
    QVERIFY(!shown.contains("Heading one") && !shown.contains("Showing your rule"));
    QVERIFY(shown.contains(QString::fromUtf8("Sample \u00e9")));

    // The page follows: the sample of a custom rule being composed is shown, with a line that
    // says so, and an old sheet's rules go with it. Once the program has ended the page says
    // so after a few failed polls, and stops asking whatever answers at its address.
    auto* custom = control<QPlainTextEdit>(main(), "tBlank");
    custom->setPlainText("h1::after { content: \"Old rule\" }\r");
    int asked = 0;
    PreviewServer impostor(nullptr, [&](const QByteArray& path) {
        asked += path.endsWith("/version");
        return std::optional<PreviewServer::Page>();
    });
    const QString followed = printed(3600 * 1000, [&] {
        auto* server = preview.findChild<PreviewServer*>();
        QTRY_VERIFY_WITH_TIMEOUT(server->connectionCount() > 0, 30000);
        QTest::qWait(2000);
        click(main(), "cmdCustom");
        QTest::keyClicks(control<QLineEdit>(window("frmCustom"), "txtName"), "p.added");
        click(window("frmCustom"), "Command1");
        click(window("frmSelection"), "cAColor");
        QTest::qWait(2000);
        custom->setPlainText("h1::after { }\r");
        QTest::qWait(2000);
        const quint16 port = server->port();
        click(main(), "cmdExit");
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(impostor.listen(port));
    });
    QVERIFY2(followed.contains("Showing your rule for p.added before it is committed") &&
                 followed.contains("Your custom selectors p.added") &&
                 !followed.contains("Old rule") && followed.contains("Rulecraft has ended"),
             qPrintable(followed.right(600)));
    QCOMPARE_LE(asked, 3);
}

void tst_Windows::previewServerBoundsEveryClient_data()
{
    using namespace Qt::Literals::StringLiterals;
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("bodyMiB");
    QTest::addColumn<int>("status");
    // HOST is the server's own address and port, PORT its port.
    const QByteArray long9k(9000, 'a');
    QTest::newRow("head past the limit") << "GET /ok HTTP/1.1\r\nX: " + long9k << 0 << 431;
    QTest::newRow("request line past it") << "GET /" + long9k << 0 << 431;
    QTest::newRow("declared body")
        << "POST /ok HTTP/1.1\r\nHost: HOST\r\nContent-Length: 300000000\r\n\r\n"_ba << 48 << 413;
    QTest::newRow("chunked body") << "GET /ok HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"_ba
                                  << 16 << 413;
    QTest::newRow("silence") << ""_ba << 0 << 0;
    QTest::newRow("no address, then a flood")
        << "GET / HTTP/1.1\r\nHost: HOST\r\n\r\n"_ba << 0 << 404;
    QTest::newRow("another name for the host")
        << "GET /ok HTTP/1.1\r\nHost: localhost:PORT\r\n\r\n"_ba << 0 << 403;
    QTest::newRow("HEAD for another host")
        << "HEAD /ok HTTP/1.1\r\nHost: elsewhere\r\n\r\n"_ba << 0 << 403;
    QTest::newRow("HEAD of a page")
        << "HEAD /big HTTP/1.1\r\nHost: HOST\r\nConnection: close\r\n\r\n"_ba << 0 << 200;
    QTest::newRow("a method that writes")
        << "DELETE /ok HTTP/1.1\r\nHost: HOST\r\n\r\n"_ba << 0 << 405;
    QTest::newRow("half-closed") << "GET /big HTTP/1.1\r\nHost: HOST\r\n\r\n"_ba << -1 << 200;
    QTest::newRow("space before a colon")
        << "GET /ok HTTP/1.1\r\nHost: HOST\r\nContent-Length : 5\r\n\r\nhello"_ba << 0 << 400;
    QTest::newRow("other version")
        << "GET /ok HTTP/1.9garbage\r\nHost: HOST\r\n\r\n"_ba << 0 << 400;
    QTest::newRow("bare LF") << "GET /ok HTTP/1.1\nHost: HOST\n\n"_ba << 0 << 400;
}

void tst_Windows::previewServerBoundsEveryClient()
{
    QFETCH(QByteArray, head);
    QFETCH(int, bodyMiB);
    QFETCH(int, status);
    const PreviewServer::Limits limits{8 * 1024, 4, std::chrono::milliseconds(1000),
                                       std::chrono::milliseconds(1000)};
    const QByteArray big(1024 * 1024, 'x');
    PreviewServer server(
        nullptr,
        [&big](const QByteArray& path) -> std::optional<PreviewServer::Page> {
            if (path == "/ok" || path == "/big")
                return PreviewServer::Page{"text/plain", path == "/ok" ? "fine" : big};
            return std::nullopt;
        },
        limits);
    QVERIFY(server.listen());
    head.replace("HOST", "127.0.0.1:PORT").replace("PORT", QByteArray::number(server.port()));

    // The most memory the test program ever held, in KiB, stays where it was. Every answer
    // is whole, a HEAD's without a body, says where its page may be sent, and the
    // connection is closed without a reset.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto [answer, closed] = exchange(server.port(), head, bodyMiB * 1024 * 1024);
    getrusage(RUSAGE_SELF, &after);
    QVERIFY2(answer.startsWith(status ? "HTTP/1.1 " + QByteArray::number(status) : ""),
             answer.left(40));
    QVERIFY(closed);
    // A refusal says that it closes, whoever asked.
    QCOMPARE(answer.contains("\r\nConnection: close\r\n"),
             (status && status != 200) || head.contains("Connection: close"));
    QCOMPARE_LE(after.ru_maxrss - before.ru_maxrss, 4096);
    const qsizetype length = answer.indexOf("Content-Length: ");
    if (length >= 0)
        QCOMPARE(answer.size() - answer.indexOf("\r\n\r\n") - 4,
                 head.startsWith("HEAD") ? 0 : answer.mid(length + 16).split('\r')[0].toInt());
    QVERIFY(!status || answer.contains("\r\nCache-Control: no-store\r\nX-Content-Type-"
                                       "Options: nosniff\r\nReferrer-Policy: no-referrer\r\n"));
    QTRY_COMPARE(server.connectionCount(), 0);
    if (QTest::currentDataTag() != QByteArrayView("no address, then a flood"))
        return;

    // A browser given a page keeps its connection through a flood: clients without the
    // address are answered and closed, and at the cap a new connection displaces the oldest
    // silent one, so that the browser's next connection is answered too.
    QTcpSocket browser[2], flood[7];
    const auto answered = [&](QTcpSocket& socket) {
        QByteArray got;
        socket.write("GET /ok HTTP/1.1\r\nHost: " + server.authority() + "\r\n\r\n");
        return QTest::qWaitFor([&] { return (got += socket.readAll()).endsWith("fine"); }, 5000);
    };
    browser[0].connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(answered(browser[0]));
    for (QTcpSocket& client : flood) {
        client.connectToHost(QHostAddress::LocalHost, server.port());
        if ((&client - flood) % 2)
            client.write(head);
    }
    browser[1].connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(answered(browser[1]) && answered(browser[0]));
    // All of them are closed, and then the browser's connections too once they idle.
    const auto gone = [](QTcpSocket& s) { return s.state() == QAbstractSocket::UnconnectedState; };
    QTRY_VERIFY(std::ranges::all_of(flood, gone) && std::ranges::all_of(browser, gone));
}

int main(int argc, char* argv[])
{
    // A home and a login's runtime folder of its own, set before Qt reads where settings
    // live: the program keeps none, and no test may touch the user's. Both must be empty
    // once the program has ended entirely, its last destructors run after main.
    static QTemporaryDir ownHome, ownRuntime;
    runtime = &ownRuntime;
    std::atexit([] {
        for (const QTemporaryDir* own : {&ownHome, &ownRuntime})
            if (!QDir(own->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
                qFatal("something was left behind in %s", qPrintable(own->path()));
    });
    qputenv("HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", ownHome.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", ownRuntime.path().toLocal8Bit());
    Session programSession;
    session = &programSession;
    QApplication app(argc, argv);
    tst_Windows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
