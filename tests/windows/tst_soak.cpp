// A seeded random walk of user actions over all five windows. After every step the
// windows are compared with a shadow model that applies the same actions through the core.
//
//   RULECRAFT_SOAK_SEED=n RULECRAFT_SOAK_STEPS=n ./tst_soak    (defaults: 20260101, 20000)
#include "testsupport.h"

#include "controls.h"
#include "declarationsbox.h"
#include "stylesheet.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <optional>
#include <random>

using namespace rulecraft;
using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

namespace {

const char* const sectionNames[] = {"tBody", "tA", "tTABLE", "tHR", "tH", "tBlank"};

struct EditorModel {
    std::string key, open, close;
    std::string holder;
    std::map<std::string, std::string> boxes; // box name -> text
    bool changed = false;
};

// What the windows should show, kept with the core alone.
struct Model {
    MemorySectionSet sections;
    std::string tagKey, tagOpen, tagClose;
    std::optional<EditorModel> editor;
    std::optional<std::string> size; // heading size window and its box
    std::optional<std::string> name; // custom tag window and its box
    bool about = false;
    std::string title = "Rulecraft V1";
    std::map<QString, QByteArray> files;

    void chooseTag(const std::string& key, const std::string& open)
    {
        tagKey = key;
        tagOpen = open;
        tagClose = std::string(tagCloser);
        if (!editor)
            editor = EditorModel{key, open, tagClose, {}, {}, false};
    }
};

struct Action {
    const char* name;
    std::function<void()> run;
};

std::string lineBreaksAsCrLf(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

class tst_Soak : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }
    void randomWalkMatchesModel();

private:
    std::mt19937 random;
    Model model;
    QTemporaryDir dir;

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    bool chance(int percent) { return below(100) < percent; }
    QString someText(bool lineBreaks);
    void typeInto(QWidget* box, const QString& text);
    std::vector<Action> actions();
    QString mismatch();
};

QString tst_Soak::someText(bool lineBreaks)
{
    static const QStringList pieces{"a",      "Z",      "7",          " ",      "{",      ";",
                                    ":",      "#",      "-",          "\u00e9", "\u00a0", "\u20ac",
                                    "\u6f22", "\u0416", "\U0001F600", "\u00ff"};
    QString text;
    for (int i = below(8); i >= 0; --i) {
        if (lineBreaks && chance(10))
            text += QStringList{"\n", "\r\n", "\r"}[below(3)];
        else
            text += pieces[below(pieces.size())];
    }
    return text;
}

// One key press per character, as an input method delivers it.
void tst_Soak::typeInto(QWidget* box, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, length));
        QApplication::sendEvent(box->focusProxy() ? box->focusProxy() : box, &press);
        i += length - 1;
    }
}

std::vector<Action> tst_Soak::actions()
{
    std::vector<Action> list;
    QWidget* main = window("frmMain");

    for (const CatalogueTag& tag : tagCatalogue) {
        list.push_back({"tag button", [this, main, &tag] {
                            click(main, std::string(tag.button).c_str());
                            model.chooseTag(std::string(tag.key), std::string(tag.opener));
                        }});
    }
    list.push_back({"Create H#", [this, main] {
                        click(main, "cmdH");
                        if (!model.size)
                            model.size = "1";
                    }});
    list.push_back({"Create Custom", [this, main] {
                        click(main, "cmdCustom");
                        if (!model.name)
                            model.name = "";
                    }});
    list.push_back({"About", [this, main] {
                        click(main, "cmdAbout");
                        model.about = true;
                    }});
    list.push_back({"type in a section", [this, main] {
                        const int s = below(6);
                        auto* box = control<QPlainTextEdit>(main, sectionNames[s]);
                        box->moveCursor(QTextCursor::End);
                        const QString text = someText(false);
                        typeInto(box, text);
                        const bool enter = chance(30);
                        if (enter)
                            QTest::keyClick(box, Qt::Key_Return);
                        model.sections.append(sectionsInOrder[s],
                                              toCore(text) + (enter ? "\r\n" : ""));
                    }});
    list.push_back({"paste into a section", [this, main] {
                        const int s = below(6);
                        auto* box = control<QPlainTextEdit>(main, sectionNames[s]);
                        const QString text = someText(true);
                        QApplication::clipboard()->setText(text);
                        box->moveCursor(QTextCursor::End);
                        box->paste();
                        model.sections.append(sectionsInOrder[s], lineBreaksAsCrLf(toCore(text)));
                    }});
    list.push_back({"empty a section", [this, main] {
                        const int s = below(6);
                        control<QPlainTextEdit>(main, sectionNames[s])->clear();
                        model.sections.replace(sectionsInOrder[s], "");
                    }});
    list.push_back({"save", [this, main] {
                        const bool cancel = chance(20);
                        const bool missing = !cancel && chance(15);
                        const QString path =
                            dir.filePath(missing ? QStringLiteral("missing/x.css")
                                                 : QStringLiteral("out-%1.css").arg(below(3)));
                        commonDialog().setNextAnswer({!cancel, path, 0});
                        if (missing)
                            onNextModal(
                                [](QWidget* box) { static_cast<QMessageBox*>(box)->accept(); });
                        click(main, "cmdSave");
                        if (cancel || missing)
                            return;
                        const std::string text = assembleStylesheet(model.sections.texts());
                        model.files[path] = QByteArray::fromStdString(toWindows1252(text) + "\r\n");
                        model.title = savedTitle("v1", toCore(shortDateToday()));
                    }});

    if (QWidget* editor = window("frmSelection")) {
        for (const GroupInfo& group : propertyGroups()) {
            const std::string row(group.name);
            const std::string sub = "c" + row, value = "t" + row, add = "cA" + row;
            if (!group.subProperties.empty()) {
                list.push_back({"type a sub-property", [this, editor, sub] {
                                    const QString text = someText(false);
                                    typeInto(control<QComboBox>(editor, sub.c_str()), text);
                                    model.editor->boxes[sub] += toCore(text);
                                }});
                list.push_back({"pick a sub-property", [this, editor, sub, group] {
                                    const int entry = below(int(group.subProperties.size()));
                                    control<QComboBox>(editor, sub.c_str())->setCurrentIndex(entry);
                                    model.editor->boxes[sub] =
                                        std::string(group.subProperties[entry]);
                                }});
            }
            list.push_back({"type a value", [this, editor, value] {
                                const QString text = someText(false);
                                typeInto(control<QLineEdit>(editor, value.c_str()), text);
                                model.editor->boxes[value] += toCore(text);
                            }});
            list.push_back({"Add", [this, editor, sub, value, add, group] {
                                click(editor, add.c_str());
                                EditorModel& e = *model.editor;
                                const bool hasSub = !group.subProperties.empty();
                                e.holder += declarationText(group.group, hasSub ? e.boxes[sub] : "",
                                                            e.boxes[value]);
                                if (hasSub)
                                    e.boxes[sub].clear();
                                e.boxes[value].clear();
                                e.changed = true;
                            }});
        }
        list.push_back({"Select Color", [this, editor] {
                            const bool confirmed = chance(70);
                            const auto colour = std::uint32_t(random() & 0xFFFFFF);
                            commonDialog().setNextAnswer({confirmed, QString(), colour});
                            click(editor, "cmdSelColor");
                            if (confirmed)
                                model.editor->boxes["tColor"] = colourToHex(colour);
                        }});
        if (model.editor && model.editor->changed) {
            list.push_back({"Add Selection", [this, editor] {
                                click(editor, "cmdAddSelection");
                                EditorModel& e = *model.editor;
                                const std::string rule = e.open + e.holder + e.close;
                                const Section section = sectionForKey(e.key);
                                if (section == Section::Body)
                                    model.sections.replace(section, rule);
                                else
                                    model.sections.append(section, rule);
                                model.editor.reset();
                            }});
        }
        list.push_back({"Close Window", [this, editor] {
                            chance(50) ? click(editor, "cmdClose") : (void)editor->close();
                            model.editor.reset();
                        }});
    }
    if (QWidget* sizes = window("frmHSize")) {
        list.push_back({"type a size", [this, sizes] {
                            auto* box = control<QComboBox>(sizes, "cmbH");
                            box->clearEditText();
                            const QString text =
                                chance(70) ? QString::number(below(9)) : someText(false);
                            typeInto(box, text);
                            model.size = toCore(text);
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
        list.push_back({"type a name", [this, custom] {
                            const QString text = someText(false);
                            typeInto(control<QLineEdit>(custom, "txtName"), text);
                            *model.name += toCore(text);
                        }});
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

// The first difference between the windows and the model, or nothing.
QString tst_Soak::mismatch()
{
    QWidget* main = window("frmMain");
    for (int s = 0; s < 6; ++s) {
        if (boxText(control<QPlainTextEdit>(main, sectionNames[s])) !=
            model.sections.text(sectionsInOrder[s]))
            return QStringLiteral("section %1 differs").arg(QLatin1String(sectionNames[s]));
    }
    if (toCore(main->windowTitle()) != model.title)
        return QStringLiteral("title is ") + main->windowTitle();
    if (modVar.TagKey != model.tagKey || modVar.TagOpen != model.tagOpen)
        return QStringLiteral("current tag differs");

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
        const EditorModel& e = *model.editor;
        if (control<DeclarationsBox>(editor, "txtHolder")->text() != e.holder)
            return QStringLiteral("holder differs");
        if (toCore(control<QLabel>(editor, "Label")->text()) != editorHeading(e.key) ||
            modVar.EditKey != e.key)
            return QStringLiteral("editor key differs");
        if (control<QPushButton>(editor, "cmdAddSelection")->isEnabled() != e.changed)
            return QStringLiteral("Add Selection state differs");
        for (const auto& [box, text] : e.boxes) {
            auto* combo = editor->findChild<QComboBox*>(QString::fromStdString(box));
            const QString shown =
                combo ? combo->currentText() : control<QLineEdit>(editor, box.c_str())->text();
            if (toCore(shown) != text)
                return QString::fromStdString(box) + QStringLiteral(" shows ") + shown;
        }
    }
    if (QWidget* sizes = window("frmHSize")) {
        if (toCore(control<QComboBox>(sizes, "cmbH")->currentText()) != *model.size)
            return QStringLiteral("size box differs");
    }
    for (const auto& [path, bytes] : model.files) {
        if (fileBytes(path) != bytes)
            return path + QStringLiteral(" differs");
    }
    if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() !=
        qsizetype(model.files.size()))
        return QStringLiteral("a stray file was left");
    return {};
}

void tst_Soak::randomWalkMatchesModel()
{
    const unsigned seed = qEnvironmentVariableIsSet("RULECRAFT_SOAK_SEED")
                              ? qEnvironmentVariableIntValue("RULECRAFT_SOAK_SEED")
                              : 20260101u;
    const int steps = qEnvironmentVariableIsSet("RULECRAFT_SOAK_STEPS")
                          ? qEnvironmentVariableIntValue("RULECRAFT_SOAK_STEPS")
                          : 20000;
    random.seed(seed);
    model = Model{};
    QVERIFY(dir.isValid());

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
    QString summary;
    for (const auto& [name, count] : taken)
        summary += QStringLiteral("%1 %2, ").arg(count).arg(QLatin1String(name.c_str()));
    qInfo("seed %u: %d steps matched the model: %s", seed, steps, qPrintable(summary));
}

QTEST_MAIN(tst_Soak)
#include "tst_soak.moc"
