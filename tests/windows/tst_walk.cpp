// SPDX-License-Identifier: GPL-3.0-or-later
// A seeded random walk of user actions over all five windows. After every step the windows
// are compared with a model of its own: the design's tables written out again here, and
// small independent versions of routing, assembly, the code page and the colour notation.
//
//   RULECRAFT_WALK_SEED=n RULECRAFT_WALK_STEPS=n ./tst_walk    (defaults: 20260101, 20000)
#include "support.h"

#include "core/modvar.h"
#include "windows/declarationsbox.h"
#include "windows/stylesheetbuffer.h"

#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

#include <map>
#include <random>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

namespace {

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
const std::map<std::string, int> fixedKeys{
    {"body", 0}, {"a", 1}, {"alink", 1}, {"avisited", 1}, {"ahover", 1}, {"table", 2}, {"tr", 2},
    {"td", 2}, {"hr", 3}, {"h1", 4}, {"h2", 4}, {"h3", 4}, {"h4", 4}, {"h5", 4}, {"h6", 4}};
// The characters the walk types, with their Windows-1252 bytes.
const std::map<QString, std::string> pieces{
    {"a", "a"}, {"Z", "Z"}, {"7", "7"}, {" ", " "}, {"{", "{"}, {";", ";"}, {":", ":"},
    {"-", "-"}, {"\u00e9", "\xE9"}, {"\u00a0", "\xA0"}, {"\u20ac", "\x80"}, {"\u6f22", "?"},
    {"\u0416", "?"}, {"\U0001F600", "?"}, {"\u00ff", "\xFF"}};
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

} // namespace

class tst_Walk : public QObject {
    Q_OBJECT

private slots:
    void walkMatchesModel();

private:
    using Actions = std::vector<std::pair<const char*, std::function<void()>>>;
    std::mt19937 random;
    int step = 0;
    Model model;
    CommonDialog::Script script;
    QTemporaryDir dir;

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QString someText();
    Actions actions();
    QString mismatch();
};

QString tst_Walk::someText()
{
    QString text;
    for (int i = below(8); i >= 0; --i)
        text += std::next(pieces.begin(), below(int(pieces.size())))->first;
    return text;
}

tst_Walk::Actions tst_Walk::actions()
{
    Actions list;
    QWidget* main = window("frmMain");
    const auto section = [=](int s) { return control<QPlainTextEdit>(main, sectionNames[s]); };
    for (const TagButton& tag : catalogue)
        list.push_back({"tag button", [=, this, &tag] {
                            click(main, tag.name), model.chooseTag(tag.key, tag.opener);
                        }});
    // A window opens with the focus in its first box; one already open keeps what it has.
    const auto opening = [this](const char* name, const char* focus,
                                std::map<QString, std::string> shows) {
        if (model.open.try_emplace(name, std::move(shows)).second)
            model.focus[name] = focus;
    };
    list.push_back(
        {"Create H#", [=] {
             click(main, "cmdH"), opening("frmHSize", "cmbH", {{"", "H#"}, {"cmbH", "1"}});
         }});
    list.push_back(
        {"Create Custom", [=] {
             click(main, "cmdCustom"), opening("frmCustom", "txtName", {{"", "Custom Tag"}});
         }});
    list.push_back({"About", [=] {
                        click(main, "cmdAbout");
                        opening("frmAbout", "cmdOK",
                                {{"", "Rulecraft About"}, {"Label1", "Rulecraft Version v1"}});
                    }});
    list.push_back(
        {"Tab in the main window", [=] { QTest::keyClick(main->focusWidget(), Qt::Key_Tab); }});
    list.push_back({"type in a section", [=, this] {
                        const int s = below(6), key = below(4);
                        const QString text = someText();
                        section(s)->moveCursor(QTextCursor::End);
                        typeText(section(s), text);
                        // Enter breaks the paragraph, Shift+Enter the line; Tab only leaves.
                        if (key < 3)
                            QTest::keyClick(section(s), key == 2 ? Qt::Key_Tab : Qt::Key_Return,
                                            key == 1 ? Qt::ShiftModifier : Qt::NoModifier);
                        model.sections[s] += utf8(text) + (key < 2 ? "\r\n" : "");
                    }});
    list.push_back(
        {"paste into a section", [=, this] {
             const int s = below(6);
             QString text = someText() + QStringList{"\n", "\r\n", "\r"}[below(3)] + someText();
             QApplication::clipboard()->setText(text);
             section(s)->moveCursor(QTextCursor::End);
             section(s)->paste();
             model.sections[s] +=
                 utf8(text.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n"));
         }});
    list.push_back({"empty a section", [=, this] {
                        const int s = below(6);
                        section(s)->clear(), model.sections[s].clear();
                    }});
    const auto save = [=, this] {
        const int kind = below(10); // 0: Cancel; 1: a missing folder first
        const QString path = dir.filePath(QStringLiteral("out-%1.css").arg(below(3)));
        if (kind == 1) // refused, and the dialog stays open for another name
            script.saves.push_back(dir.filePath("missing/x.css")), ++model.messages;
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
    list.push_back({"save", save});
    // Past the text path's pieces of 16 Ki units: a character outside the Basic Multilingual
    // Plane across the first edge and at random places, or one selector of 40,000 characters.
    if (below(25) == 0)
        list.push_back({"paste a long text and save", [=, this] {
                            const int s = below(6);
                            QString text = QStringLiteral("div.a ").repeated(6700) + "{ }";
                            if (below(2)) {
                                text = QString(16383, 'a') + "\U0001F600";
                                for (int end = 16384 + below(40000); text.size() < end;)
                                    text += QString(below(2000), 'b') + "\U0001F600";
                            }
                            section(s)->clear();
                            QApplication::clipboard()->setText(text);
                            section(s)->paste();
                            model.sections[s] = utf8(text);
                            save();
                        }});
    // The replacement of the body section is one step of its undo history; taken back about
    // once in four commits.
    for (int weight = 0; weight < 20 && model.bodyCommitStep == step - 1; ++weight)
        list.push_back({"Ctrl+Z after a body commit", [=, this] {
                            QTest::keyClick(section(0), Qt::Key_Z, Qt::ControlModifier);
                            model.sections[0] = model.bodyBefore;
                        }});
    if (!model.files.empty() && below(10) == 0)
        list.push_back(
            {"make a file read-only", [this] {
                 const QString path =
                     std::next(model.files.begin(), below(int(model.files.size())))->first;
                 model.readOnly[path] = QFile::setPermissions(path, QFile::ReadOwner);
             }});
    for (auto& [name, shows] : model.open) {
        QWidget* w = window(qPrintable(name));
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            list.push_back({"type into a box", [=, this, &shows] {
                                const QString text = someText();
                                // As a user would, into the box with the focus.
                                edit->setFocus();
                                typeText(edit, text);
                                shows[shown(w, edit).first] += utf8(text);
                                model.focus[name] = shown(w, edit).first;
                            }});
        // No window has a default button, and a list keeps what was typed.
        list.push_back({"Enter in a box", [=, this] {
                            const QList<QLineEdit*> edits = w->findChildren<QLineEdit*>();
                            if (!edits.isEmpty())
                                QTest::keyClick(edits[below(int(edits.size()))], Qt::Key_Return);
                        }});
        for (QComboBox* box : w->findChildren<QComboBox*>())
            list.push_back({"pick from a list", [=, this, &shows] {
                                const int entry = below(box->count());
                                box->setCurrentIndex(entry);
                                shows[box->objectName()] =
                                    utf8(lists.at(box->objectName()).value(entry));
                            }});
        // The holder and the credits are read-only: typing changes neither.
        for (QPlainTextEdit* box : w->findChildren<QPlainTextEdit*>())
            list.push_back({"type into a read-only box", [=, this, &shows] {
                                shows.try_emplace(box->objectName(), shown(w, box).second);
                                typeText(box, someText());
                            }});
        list.push_back({"close", [=, this] { w->close(), model.open.erase(name); }});
        list.push_back({"Tab", [=, this] {
                            QTest::keyClick(w->focusWidget(), Qt::Key_Tab), model.focus.erase(name);
                        }});
    }
    const auto choose = [this](const char* chooser, std::string key) {
        model.open.erase(chooser), model.chooseTag(key, key + " { ");
    };
    if (QWidget* sizes = window("frmHSize"))
        list.push_back({"Select", [=, this] {
                            click(sizes, "Command1"),
                                choose("frmHSize", "h" + model.open["frmHSize"]["cmbH"]);
                        }});
    if (QWidget* custom = window("frmCustom")) {
        list.push_back({"Create", [=, this] {
                            click(custom, "Command1"),
                                choose("frmCustom", model.open["frmCustom"]["txtName"]);
                        }});
    }
    if (QWidget* about = window("frmAbout"))
        list.push_back({"OK", [=, this] { click(about, "cmdOK"), model.open.erase("frmAbout"); }});
    QWidget* editor = window("frmSelection");
    if (!editor)
        return list;
    auto& shows = model.open["frmSelection"];
    for (const auto& [row, stem] : rows)
        list.push_back({"Add", [=, this, &shows] {
                            click(editor, qPrintable("cA" + row));
                            shows["txtHolder"] +=
                                stem + shows["c" + row] + ": " + shows["t" + row] + "; ";
                            shows.erase("c" + row), shows.erase("t" + row);
                            model.focus["frmSelection"] = "c" + row;
                        }});
    list.push_back({"Add colour", [=, this, &shows] {
                        click(editor, "cAColor");
                        shows["txtHolder"] += "color:" + shows["tColor"] + "; ";
                        shows.erase("tColor"), model.focus["frmSelection"] = "tColor";
                    }});
    list.push_back({"Select Color", [=, this, &shows] {
                        const auto colour = std::uint32_t(random() & 0xFFFFFF);
                        const bool confirmed = below(3);
                        script.colours.push_back(confirmed ? std::optional(colour) : std::nullopt);
                        click(editor, "cmdSelColor");
                        model.focus["frmSelection"] = "cmdSelColor";
                        if (confirmed)
                            shows["tColor"] = QString::asprintf("#%02X%02X%02X", colour & 0xFF,
                                                                (colour >> 8) & 0xFF, colour >> 16)
                                                  .toStdString();
                    }});
    if (!shows["txtHolder"].empty())
        list.push_back({"Add Selection", [=, this, &shows] {
                            click(editor, "cmdAddSelection");
                            model.lastRule = model.editOpen + shows["txtHolder"] + " }\r\n";
                            const auto fixed = fixedKeys.find(model.editKey);
                            const int s = fixed == fixedKeys.end() ? 5 : fixed->second;
                            if (s == 0)
                                model.bodyBefore = model.sections[0], model.bodyCommitStep = step;
                            model.sections[s] = (s == 0 ? "" : model.sections[s]) + model.lastRule;
                            model.open.erase("frmSelection");
                        }});
    list.push_back({"Close Window",
                    [=, this] { click(editor, "cmdClose"), model.open.erase("frmSelection"); }});
    return list;
}

// The first difference between the windows and the model, or nothing.
QString tst_Walk::mismatch()
{
    QWidget* main = window("frmMain");
    for (int s = 0; s < 6; ++s) {
        if (shown(main, control<QPlainTextEdit>(main, sectionNames[s])).second != model.sections[s])
            return QStringLiteral("section %1 differs").arg(sectionNames[s]);
    }
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
        if (const auto it = model.focus.find(name);
            it != model.focus.end() && !hasFocus(control<QWidget>(w, qPrintable(it->second))))
            return name + ": the focus is not in " + it->second;
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
    if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() !=
        qsizetype(model.files.size()))
        return "a stray file was left";
    return {};
}

void tst_Walk::walkMatchesModel()
{
    const unsigned seed = qEnvironmentVariableIsSet("RULECRAFT_WALK_SEED")
                              ? qEnvironmentVariableIntValue("RULECRAFT_WALK_SEED")
                              : 20260101u;
    const int steps = qEnvironmentVariableIsSet("RULECRAFT_WALK_STEPS")
                          ? qEnvironmentVariableIntValue("RULECRAFT_WALK_STEPS")
                          : 20000;
    random.seed(seed);
    QVERIFY(dir.isValid());
    startProgram(&script);
    QCOMPARE(window("frmMain")->focusWidget()->objectName(), "tBody");
    for (const TagButton& tag : catalogue)
        QCOMPARE(control<QPushButton>(window("frmMain"), tag.name)->text(), tag.caption);
    std::map<QString, int> taken;
    for (step = 1; step <= steps; ++step) {
        const Actions possible = actions();
        const auto& [name, run] = possible[below(int(possible.size()))];
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
    // Exit or the close box ends every window at once; an open editor commits nothing.
    seed % 2 ? (void)window("frmMain")->close() : click(window("frmMain"), "cmdExit");
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(modVar.LastRule, model.lastRule);
    QStringList counts;
    for (const auto& [name, count] : taken)
        counts << QStringLiteral("%1 %2").arg(count).arg(name);
    qInfo("seed %u, %d steps, ended by %s: %s", seed, steps, seed % 2 ? "the close box" : "Exit",
          qPrintable(counts.join(", ")));
}

QTEST_MAIN(tst_Walk)
#include "tst_walk.moc"
