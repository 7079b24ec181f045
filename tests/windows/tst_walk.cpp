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
#include <optional>
#include <random>
#include <set>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

namespace {

struct TagButton {
    const char* button;
    const char* caption;
    std::string key, opener;
};
const TagButton catalogue[] = {{"cmdBody", "Create BODY:", "body", "body { "},
                               {"cmdA", "Create A:", "a", "a { "},
                               {"cmdAlink", "Create A:link", "alink", "a:link { "},
                               {"cmdAvisited", "Create A:visited", "avisited", "a:visited { "},
                               {"cmdAhover", "Create A:hover", "ahover", "a:hover { "},
                               {"cmdTable", "Create TABLE:", "table", "table { "},
                               {"cmdTR", "Create TR:", "tr", "tr { "},
                               {"cmdTD", "Create TD:", "td", "td { "},
                               {"cmdHR", "Create HR:", "hr", "hr { "}};

struct Row {
    std::string name, stem;
    QStringList entries; // empty: the colour row, which has no sub-property box
};
const Row rows[] = {
    {"Font", "font", {"-style", "-variant", "-weight", "-size", "-family"}},
    {"Text", "text", {"-align", "-decoration", "-indent", "-transform"}},
    {"Padding", "padding", {"-bottom", "-left", "-right", "-top"}},
    {"Border", "border", {"-width", "-style", "-color", "-bottom", "-left", "-right", "-top"}},
    {"Margin", "margin", {"-bottom", "-top", "-left", "-right"}},
    {"Background", "background", {"-color", "-attachment", "-image", "-position", "-repeat"}},
    {"Color", "color:", {}}};

const char* const sectionNames[] = {"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank"};

int sectionOf(const std::string& key)
{
    static const std::map<std::string, int> fixed{
        {"body", 0},  {"a", 1},  {"alink", 1}, {"avisited", 1}, {"ahover", 1},
        {"table", 2}, {"tr", 2}, {"td", 2},    {"hr", 3},       {"h1", 4},
        {"h2", 4},    {"h3", 4}, {"h4", 4},    {"h5", 4},       {"h6", 4}};
    const auto found = fixed.find(key);
    return found == fixed.end() ? 5 : found->second;
}

// The characters the walk types, with their Windows-1252 bytes.
const std::map<QString, std::string> pieces{
    {"a", "a"},      {"Z", "Z"},         {"7", "7"},          {" ", " "},
    {"{", "{"},      {";", ";"},         {":", ":"},          {"#", "#"},
    {"-", "-"},      {"\u00e9", "\xE9"}, {"\u00a0", "\xA0"},  {"\u20ac", "\x80"},
    {"\u6f22", "?"}, {"\u0416", "?"},    {"\U0001F600", "?"}, {"\u00ff", "\xFF"}};

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string windows1252(const std::string& text)
{
    static const std::map<std::string, std::string> bytes = [] {
        std::map<std::string, std::string> map;
        for (const auto& [piece, byte] : pieces)
            map[utf8(piece)] = byte;
        return map;
    }();
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string character = text.substr(i, length);
        out += length == 1 ? character : bytes.at(character);
        i += length;
    }
    return out;
}

// What the box holds, read without the program's own reader.
std::string shown(const QPlainTextEdit* box)
{
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return utf8(text);
}

struct Editor {
    std::string key, open, holder;
    std::map<std::string, std::string> boxes; // box name -> text
    bool changed = false;
    std::string focus = "cFont";
};

struct Model {
    std::array<std::string, 6> sections;
    std::string tagKey, tagOpen, tagClose, lastRule, buffer;
    std::optional<Editor> editor;
    std::optional<std::string> size, name; // the chooser windows and their boxes
    bool about = false;
    bool saved = false;
    std::map<QString, std::string> files;
    std::set<QString> readOnly;
    qsizetype messages = 0;

    void chooseTag(const std::string& key, const std::string& open)
    {
        tagKey = key;
        tagOpen = open;
        tagClose = " }\r\n";
        if (!editor)
            editor = Editor{key, open, {}, {}, false, "cFont"};
    }
    std::string stylesheet() const
    {
        std::string text;
        for (const std::string& section : sections)
            text += section.empty() ? "" : section + "\r\n";
        return text;
    }
};

struct Action {
    const char* name;
    std::function<void()> run;
};

} // namespace

class tst_Walk : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(closeEverything()); }
    void walkMatchesModel();

private:
    std::mt19937 random;
    Model model;
    CommonDialog::Script script;
    QTemporaryDir dir;

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    bool chance(int percent) { return below(100) < percent; }
    QString someText();
    std::vector<Action> actions();
    void editorActions(QWidget* editor, std::vector<Action>& list);
    QString mismatch();
};

QString tst_Walk::someText()
{
    QString text;
    for (int i = below(8); i >= 0; --i)
        text += std::next(pieces.begin(), below(int(pieces.size())))->first;
    return text;
}

std::vector<Action> tst_Walk::actions()
{
    std::vector<Action> list;
    QWidget* main = window("frmMain");
    for (const TagButton& tag : catalogue) {
        list.push_back({"tag button", [this, main, &tag] {
                            click(main, tag.button);
                            model.chooseTag(tag.key, tag.opener);
                        }});
    }
    list.push_back({"Create H#", [this, main] {
                        click(main, "cmdH");
                        model.size = model.size.value_or("1");
                    }});
    list.push_back({"Create Custom", [this, main] {
                        click(main, "cmdCustom");
                        model.name = model.name.value_or("");
                    }});
    list.push_back({"About", [this, main] {
                        click(main, "cmdAbout");
                        model.about = true;
                    }});
    list.push_back({"type in a section", [this, main] {
                        const int s = below(6);
                        auto* box = control<QPlainTextEdit>(main, sectionNames[s]);
                        box->moveCursor(QTextCursor::End);
                        const QString text = someText();
                        typeText(box, text);
                        model.sections[s] += utf8(text);
                        // Enter breaks the paragraph, Shift+Enter the line; Tab only leaves.
                        const int key = below(4);
                        if (key < 3)
                            QTest::keyClick(box, key == 2 ? Qt::Key_Tab : Qt::Key_Return,
                                            key == 1 ? Qt::ShiftModifier : Qt::NoModifier);
                        model.sections[s] += key < 2 ? "\r\n" : "";
                    }});
    list.push_back({"paste into a section", [this, main] {
                        const int s = below(6);
                        auto* box = control<QPlainTextEdit>(main, sectionNames[s]);
                        const QString text =
                            someText() + QStringList{"\n", "\r\n", "\r"}[below(3)] + someText();
                        QApplication::clipboard()->setText(text);
                        box->moveCursor(QTextCursor::End);
                        box->paste();
                        QString crlf = text;
                        crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"))
                            .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                            .replace(QLatin1String("\n"), QLatin1String("\r\n"));
                        model.sections[s] += utf8(crlf);
                    }});
    list.push_back({"empty a section", [this, main] {
                        const int s = below(6);
                        control<QPlainTextEdit>(main, sectionNames[s])->clear();
                        model.sections[s].clear();
                    }});
    list.push_back(
        {"save", [this, main] {
             const int kind = below(10);
             const QString path = dir.filePath(QStringLiteral("out-%1.css").arg(below(3)));
             if (kind == 0) {
                 script.saves.push_back(std::nullopt);
             } else {
                 // A name in a missing folder is refused and the dialog stays open.
                 if (kind == 1) {
                     script.saves.push_back(dir.filePath(QStringLiteral("missing/x.css")));
                     ++model.messages;
                 }
                 script.saves.push_back(path);
             }
             click(main, "cmdSave");
             model.buffer = model.stylesheet();
             if (kind == 0)
                 return;
             if (model.readOnly.count(path)) {
                 ++model.messages;
                 return;
             }
             model.files[path] = windows1252(model.buffer) + "\r\n";
             model.saved = true;
         }});
    if (!model.files.empty()) {
        list.push_back(
            {"make a file read-only", [this] {
                 const QString path =
                     std::next(model.files.begin(), below(int(model.files.size())))->first;
                 QFile::setPermissions(path, QFile::ReadOwner);
                 model.readOnly.insert(path);
             }});
    }
    if (QWidget* editor = window("frmSelection"))
        editorActions(editor, list);
    if (QWidget* sizes = window("frmHSize")) {
        auto* box = control<QComboBox>(sizes, "cmbH");
        list.push_back({"type a size", [this, box] {
                            box->clearEditText();
                            const QString text =
                                chance(70) ? QString::number(below(9)) : someText();
                            typeText(box, text);
                            model.size = utf8(text);
                        }});
        list.push_back({"pick a size", [this, box] {
                            const int entry = below(6);
                            box->setCurrentIndex(entry);
                            model.size = std::to_string(entry + 1);
                        }});
        list.push_back({"Select", [this, sizes] {
                            click(sizes, "Command1");
                            model.chooseTag("h" + *model.size, "h" + *model.size + " { ");
                            model.size.reset();
                        }});
        list.push_back({"close heading size", [this, sizes] {
                            sizes->close();
                            model.size.reset();
                        }});
    }
    if (QWidget* custom = window("frmCustom")) {
        auto* box = control<QLineEdit>(custom, "txtName");
        list.push_back({"type a name", [this, box] {
                            const QString text = someText();
                            typeText(box, text);
                            *model.name += utf8(text);
                        }});
        list.push_back({"Enter in the name box", [box] { QTest::keyClick(box, Qt::Key_Return); }});
        list.push_back({"Create", [this, custom] {
                            click(custom, "Command1");
                            model.chooseTag(*model.name, *model.name + " { ");
                            model.name.reset();
                        }});
        list.push_back({"close custom tag", [this, custom] {
                            custom->close();
                            model.name.reset();
                        }});
    }
    if (QWidget* about = window("frmAbout")) {
        list.push_back({"OK", [this, about] {
                            click(about, "cmdOK");
                            model.about = false;
                        }});
    }
    return list;
}

void tst_Walk::editorActions(QWidget* editor, std::vector<Action>& list)
{
    for (const Row& row : rows) {
        const std::string sub = "c" + row.name, value = "t" + row.name, add = "cA" + row.name;
        const bool hasSub = !row.entries.empty();
        if (hasSub) {
            list.push_back({"type a sub-property", [this, editor, sub] {
                                const QString text = someText();
                                typeText(control<QComboBox>(editor, sub.c_str()), text);
                                model.editor->boxes[sub] += utf8(text);
                            }});
            list.push_back({"pick a sub-property", [this, editor, sub, &row] {
                                const int entry = below(int(row.entries.size()));
                                control<QComboBox>(editor, sub.c_str())->setCurrentIndex(entry);
                                model.editor->boxes[sub] = utf8(row.entries[entry]);
                            }});
        }
        list.push_back({"type a value", [this, editor, value] {
                            const QString text = someText();
                            typeText(control<QLineEdit>(editor, value.c_str()), text);
                            model.editor->boxes[value] += utf8(text);
                        }});
        list.push_back({"Add", [this, editor, sub, value, add, hasSub, &row] {
                            click(editor, add.c_str());
                            Editor& e = *model.editor;
                            e.holder += hasSub
                                            ? row.stem + e.boxes[sub] + ": " + e.boxes[value] + "; "
                                            : "color:" + e.boxes[value] + "; ";
                            e.boxes[sub].clear();
                            e.boxes[value].clear();
                            e.changed = true;
                            e.focus = hasSub ? sub : value;
                        }});
    }
    list.push_back({"Select Color", [this, editor] {
                        const bool confirmed = chance(70);
                        const auto colour = std::uint32_t(random() & 0xFFFFFF);
                        script.colours.push_back(confirmed ? std::optional(colour) : std::nullopt);
                        click(editor, "cmdSelColor");
                        model.editor->focus = "cmdSelColor";
                        if (confirmed)
                            model.editor->boxes["tColor"] =
                                QString::asprintf("#%02X%02X%02X", colour & 0xFF,
                                                  (colour >> 8) & 0xFF, colour >> 16)
                                    .toStdString();
                    }});
    if (model.editor->changed) {
        list.push_back({"Add Selection", [this, editor] {
                            click(editor, "cmdAddSelection");
                            const Editor& e = *model.editor;
                            model.lastRule = e.open + e.holder + " }\r\n";
                            const int s = sectionOf(e.key);
                            model.sections[s] = (s == 0 ? "" : model.sections[s]) + model.lastRule;
                            model.editor.reset();
                        }});
    }
    list.push_back({"Close Window", [this, editor] {
                        chance(50) ? click(editor, "cmdClose") : (void)editor->close();
                        model.editor.reset();
                    }});
}

// The first difference between the windows and the model, or nothing.
QString tst_Walk::mismatch()
{
    QWidget* main = window("frmMain");
    for (int s = 0; s < 6; ++s) {
        if (shown(control<QPlainTextEdit>(main, sectionNames[s])) != model.sections[s])
            return QStringLiteral("section %1 differs").arg(QLatin1String(sectionNames[s]));
    }
    // A date in whatever short format the user has, with the year, and no time of day.
    static const QRegularExpression savedTitle(
        QStringLiteral("^Rulecraft v1 :: File saved on [^:]*%1[^:]*$")
            .arg(QDate::currentDate().year() % 100));
    if (model.saved ? !savedTitle.match(main->windowTitle()).hasMatch()
                    : main->windowTitle() != QLatin1String("Rulecraft V1"))
        return QStringLiteral("title is ") + main->windowTitle();
    if (control<StylesheetBuffer>(main, "h")->text() != model.buffer)
        return QStringLiteral("the stylesheet buffer differs");
    if (modVar.TagKey != model.tagKey || modVar.TagOpen != model.tagOpen ||
        modVar.TagClose != model.tagClose || modVar.LastRule != model.lastRule)
        return QStringLiteral("shared variables differ");
    if (!script.saves.empty() || !script.colours.empty())
        return QStringLiteral("a dialog was not shown");
    if (script.messages.size() != model.messages)
        return QStringLiteral("messages: ") + script.messages.join(QLatin1Char('|'));

    std::map<QString, int> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        open[w->objectName()] += w->isVisible();
    for (const auto& [name, count] : open) {
        if (count > 1)
            return name + QStringLiteral(" is open twice");
    }
    if (bool(open["frmSelection"]) != model.editor.has_value() ||
        bool(open["frmHSize"]) != model.size.has_value() ||
        bool(open["frmCustom"]) != model.name.has_value() || bool(open["frmAbout"]) != model.about)
        return QStringLiteral("the open windows differ");

    if (QWidget* editor = window("frmSelection")) {
        const Editor& e = *model.editor;
        if (control<DeclarationsBox>(editor, "txtHolder")->text() != e.holder)
            return QStringLiteral("holder differs");
        if (utf8(control<QLabel>(editor, "Label")->text()) !=
                "Editing Tag for: " + e.key + " Selector" ||
            utf8(editor->windowTitle()) != e.key + " { PROPERTY : VALUE }" ||
            modVar.EditKey != e.key)
            return QStringLiteral("editor key differs");
        if (control<QPushButton>(editor, "cmdAddSelection")->isEnabled() != e.changed)
            return QStringLiteral("Add Selection state differs");
        if (!hasFocus(control<QWidget>(editor, e.focus.c_str())))
            return QStringLiteral("the focus is not in ") + QString::fromStdString(e.focus);
        for (const Row& row : rows) {
            for (const char* prefix : {"c", "t"}) {
                const std::string name = prefix + row.name;
                auto* combo = editor->findChild<QComboBox*>(QString::fromStdString(name));
                if (*prefix == 'c' && row.entries.isEmpty())
                    continue;
                if (combo) {
                    QStringList entries;
                    for (int i = 0; i < combo->count(); ++i)
                        entries << combo->itemText(i);
                    if (entries != row.entries)
                        return QString::fromStdString(name) + QStringLiteral(" lists ") +
                               entries.join(',');
                }
                const QString text =
                    combo ? combo->currentText() : control<QLineEdit>(editor, name.c_str())->text();
                if (utf8(text) != (e.boxes.count(name) ? e.boxes.at(name) : ""))
                    return QString::fromStdString(name) + QStringLiteral(" shows ") + text;
            }
        }
    }
    if (QWidget* sizes = window("frmHSize")) {
        if (utf8(control<QComboBox>(sizes, "cmbH")->currentText()) != *model.size)
            return QStringLiteral("size box differs");
    }
    if (QWidget* custom = window("frmCustom")) {
        if (utf8(control<QLineEdit>(custom, "txtName")->text()) != *model.name)
            return QStringLiteral("name box differs");
    }
    for (const auto& [path, bytes] : model.files) {
        if (fileBytes(path).toStdString() != bytes)
            return path + QStringLiteral(" differs");
    }
    if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() !=
        qsizetype(model.files.size()))
        return QStringLiteral("a stray file was left");
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
    for (const TagButton& tag : catalogue)
        QCOMPARE(control<QPushButton>(window("frmMain"), tag.button)->text(),
                 QLatin1String(tag.caption));

    std::map<std::string, int> taken;
    for (int step = 1; step <= steps; ++step) {
        std::vector<Action> possible = actions();
        const Action& action = possible[below(int(possible.size()))];
        action.run();
        ++taken[action.name];
        // Let closed windows go, as the event loop would between two user actions.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QString wrong = mismatch();
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("seed %1, step %2 (%3): %4")
                                                 .arg(seed)
                                                 .arg(step)
                                                 .arg(QLatin1String(action.name), wrong)));
    }
    // Exit or the close box ends every window at once; an open editor commits nothing.
    const bool exitButton = seed % 2 == 0;
    exitButton ? click(window("frmMain"), "cmdExit") : (void)window("frmMain")->close();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(modVar.LastRule, model.lastRule);
    qInfo("seed %u: %d steps matched the model, ended by %s", seed, steps,
          exitButton ? "Exit" : "the close box");
}

QTEST_MAIN(tst_Walk)
#include "tst_walk.moc"
