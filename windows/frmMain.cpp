// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmMain.h"

#include "core/modvar.h"
#include "core/opening.h"
#include "core/stylesheet.h"
#include "windows/commondialog.h"
#include "windows/controls.h"
#include "windows/frmAbout.h"
#include "windows/frmCustom.h"
#include "windows/frmHSize.h"
#include "windows/frmSelection.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/preview.h"
#include "windows/qttext.h"
#include "windows/stylesheetbuffer.h"
#include "windows/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace rulecraft::windows {

namespace {

struct Label {
    const char* name;
    const char* caption;
    int top;
};

constexpr auto tagLabels = std::to_array<Label>({{"Label1", "body:", 360},
                                                 {"Label2", "a:", 960},
                                                 {"Label3", "table:", 2280},
                                                 {"Label4", "hr:", 3360},
                                                 {"Label5", "h(size):", 3960}});

struct TagButton {
    const CatalogueTag* tag;
    const char* name;
    const char* caption;
    int top;
};

constexpr auto tagButtons = std::to_array<TagButton>({
    {catalogueTag("body"), "cmdBody", "Create BODY:", 600},
    {catalogueTag("a"), "cmdA", "Create A:", 1200},
    {catalogueTag("alink"), "cmdAlink", "Create A:link", 1440},
    {catalogueTag("avisited"), "cmdAvisited", "Create A:visited", 1680},
    {catalogueTag("ahover"), "cmdAhover", "Create A:hover", 1920},
    {catalogueTag("table"), "cmdTable", "Create TABLE:", 2520},
    {catalogueTag("tr"), "cmdTR", "Create TR:", 2760},
    {catalogueTag("td"), "cmdTD", "Create TD:", 3000},
    {catalogueTag("hr"), "cmdHR", "Create HR:", 3600},
});
// Every entry of the catalogue has exactly one button.
static_assert(std::ranges::all_of(tagCatalogue, [](const CatalogueTag& tag) {
    return std::ranges::count(tagButtons, &tag, &TagButton::tag) == 1;
}));

struct SectionBoxPlace {
    const char* name;
    const char* spokenName;
    int top;
};

// In the order of Section, which is the order of assembly.
constexpr auto sectionBoxPlaces =
    std::to_array<SectionBoxPlace>({{"tBody", "body section", 360},
                                    {"tA", "a section", 1200},
                                    {"tTABLE", "table section", 2520},
                                    {"tHR", "hr section", 3600},
                                    {"tH", "headings section", 4200},
                                    {"tBlank", "custom section", 4800}});
static_assert(sectionBoxPlaces.size() == sectionCount);

constexpr int tagColumnLeft = 240;
constexpr int sectionLeft = 2040;
constexpr int commandLeft = 7680;

// The three file types of the designed filter text, "Text Files(*.txt) |*.txt|HTML
// Files(*.html) |*.html|CSS Files(*.css)|*.css": Qt takes the patterns from the parentheses
// each description ends in, so the blank after two of them, which would hide those, is left
// out.
const CommonDialog::SaveRequest saveRequest{
    CommonDialog::Flag::OverwritePrompt | CommonDialog::Flag::PathMustExist,
    {QStringLiteral("Text Files(*.txt)"), QStringLiteral("HTML Files(*.html)"),
     QStringLiteral("CSS Files(*.css)")}};

// Shows the busy cursor while a long step runs, so that the program does not look dead.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The one local .css file a drag carries, if that is what it carries.
std::optional<QString> droppedStylesheet(const QMimeData* data)
{
    if (!data || data->urls().size() != 1 || !data->urls().constFirst().isLocalFile())
        return std::nullopt;
    const QString path = data->urls().constFirst().toLocalFile();
    if (QFileInfo(path).suffix().compare(QLatin1String("css"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return path;
}

// Today's date in the user's short date format, without a time.
QString shortDateToday()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Rulecraft V1"));
    setWindowIcon(applicationIcon());

    buildTagColumn();
    buildSectionColumn();
    buildCommandColumn();
    setTabChain(this, {"tBody",    "tA",          "tTABLE",    "tHR",          "tH",    "tBlank",
                       "cmdBody",  "cmdA",        "cmdTable",  "cmdHR",        "cmdH",  "cmdCustom",
                       "cmdAlink", "cmdAvisited", "cmdAhover", "cmdTR",        "cmdTD", "cmdExit",
                       "cmdSave",  "cmdOpen",     "cmdAbout",  "previewButton"});
    auto boxes = std::make_unique<SectionBoxes>(sectionBoxes_);
    h = new StylesheetBuffer(this);
    CDone = new CommonDialog(this);
    CDone->setObjectName(QStringLiteral("CDone"));
    preview_ = new Preview(this, *boxes, *CDone);
    sections_ = std::move(boxes);
    for (Section section : sectionsInOrder)
        connect(sectionBoxes_[static_cast<std::size_t>(section)], &QPlainTextEdit::textChanged,
                preview_, [this, section] { preview_->sectionChanged(section); });

    // A .css file dropped on a box opens, where the box would paste its name.
    setAcceptDrops(true);
    for (QPlainTextEdit* box : sectionBoxes_)
        box->viewport()->installEventFilter(this);

    placeClientArea(this, twipsRect(60, 450, 8925, 5340));
    sectionBoxes_[0]->setFocus();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::buildTagColumn()
{
    makeLabel(this, "Label8", QStringLiteral("TAG SELECTOR"), twipsRect(120, 120, 1335, 255));
    for (const Label& label : tagLabels)
        makeLabel(this, label.name, QLatin1String(label.caption),
                  twipsRect(tagColumnLeft, label.top, 1215, 285));
    makeLabel(this, "Label6", QStringLiteral("BLANK (customize):"),
              twipsRect(tagColumnLeft, 4560, 1575, 285));

    for (const TagButton& button : tagButtons)
        connect(makeButton(this, button.name, QLatin1String(button.caption),
                           twipsRect(tagColumnLeft, button.top, 1575, 255)),
                &QPushButton::clicked, this, [this, &button] { chooseTag(*button.tag); });
    connect(makeButton(this, "cmdH", QStringLiteral("Create H#:"),
                       twipsRect(tagColumnLeft, 4200, 1575, 255)),
            &QPushButton::clicked, this, &frmMain::cmdH_Click);
    connect(makeButton(this, "cmdCustom", QStringLiteral("Create Custom"),
                       twipsRect(tagColumnLeft, 4800, 1575, 255)),
            &QPushButton::clicked, this, &frmMain::cmdCustom_Click);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setGeometry(twips(1920), twips(120), 1, twips(5160));
    line->setAccessibleName(tr("Separator"));
}

void frmMain::buildSectionColumn()
{
    makeLabel(this, "Label9", QStringLiteral("TAG CONTENTS (current)"),
              twipsRect(sectionLeft, 120, 2655, 255));
    for (std::size_t i = 0; i < sectionBoxes_.size(); ++i) {
        const SectionBoxPlace& place = sectionBoxPlaces[i];
        sectionBoxes_[i] =
            makeTextArea(this, place.name, twipsRect(sectionLeft, place.top, 5535, 525),
                         QLatin1String(place.spokenName));
    }
}

void frmMain::buildCommandColumn()
{
    connect(makeButton(this, "cmdSave", QStringLiteral("&Save"),
                       twipsRect(commandLeft, 120, 1215, 495)),
            &QPushButton::clicked, this, &frmMain::cmdSave_Click);
    QPushButton* cmdOpen = makeButton(this, "cmdOpen", QStringLiteral("&Open"),
                                      twipsRect(commandLeft, 660, 1215, 255));
    connect(cmdOpen, &QPushButton::clicked, this, &frmMain::cmdOpen_Click);
    // Qt hands an active tool window's unclaimed shortcuts to its parent; like the access
    // keys, Ctrl+O acts only while this window is the active one.
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, cmdOpen,
            [this, cmdOpen] {
                if (isActiveWindow())
                    cmdOpen->click();
            });
    connect(makeButton(this, "cmdAbout", QStringLiteral("&About"),
                       twipsRect(commandLeft, 960, 1215, 255)),
            &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(makeButton(this, "previewButton", QStringLiteral("&Preview"),
                       twipsRect(commandLeft, 1320, 1215, 255)),
            &QPushButton::clicked, this, &frmMain::showPreview);
    connect(makeButton(this, "cmdExit", QStringLiteral("E&xit"),
                       twipsRect(commandLeft, 4920, 1215, 375)),
            &QPushButton::clicked, this, &frmMain::cmdExit_Click);
}

SectionSet& frmMain::sections()
{
    return *sections_;
}

CommonDialog& frmMain::commonDialog()
{
    return *CDone;
}

Preview& frmMain::preview()
{
    return *preview_;
}

void frmMain::Form_Load()
{
    modVar.AppVersion = "v1";
}

void frmMain::chooseTag(const CatalogueTag& tag)
{
    setCurrentTag(tag.key, openerFor(tag.selector));
    openEditor();
}

void frmMain::openEditor()
{
    frmSelection& editor = openWindow<frmSelection>(this, *sections_, *CDone);
    connect(&editor, &frmSelection::pendingRuleChanged, preview_, &Preview::pendingRuleChanged,
            Qt::UniqueConnection);
    connect(&editor, &frmSelection::ruleCommitted, this, &frmMain::ruleCommitted,
            Qt::UniqueConnection);
}

void frmMain::ruleCommitted()
{
    preview_->pendingRuleChanged(std::nullopt);
}

void frmMain::cmdH_Click()
{
    connect(&openWindow<frmHSize>(this), &frmHSize::tagChosen, this, &frmMain::openEditor,
            Qt::UniqueConnection);
}

void frmMain::cmdCustom_Click()
{
    connect(&openWindow<frmCustom>(this), &frmCustom::tagChosen, this, &frmMain::openEditor,
            Qt::UniqueConnection);
}

void frmMain::cmdAbout_Click()
{
    openWindow<frmAbout>(this);
}

void frmMain::showPreview()
{
    preview_->open();
}

void frmMain::cmdSave_Click()
{
    {
        BusyCursor busy;
        assembleStylesheet(*sections_, h->text());
    }
    const std::optional<QString> path = CDone->ShowSave(this, saveRequest);
    if (!path)
        return;

    WriteResult written;
    {
        BusyCursor busy;
        written = writeStylesheet(QFile::encodeName(*path).toStdString(), h->text());
    }
    if (!written.ok) {
        CDone->warn(this, tr("The stylesheet was not saved.\n\n%1").arg(toQt(written.reason)));
        return;
    }
    markWritten();
    setWindowTitle(toQt(savedTitle(modVar.AppVersion, toCore(shortDateToday()))));
}

void frmMain::cmdOpen_Click()
{
    if (const std::optional<QString> path = CDone->ShowOpen(this, saveRequest.filters))
        openFile(*path);
}

bool frmMain::openFile(const QString& path)
{
    OpenResult opened;
    {
        BusyCursor busy;
        opened = openStylesheet(QFile::encodeName(path).toStdString());
    }
    if (!opened.ok) {
        CDone->warn(this, tr("The stylesheet was not opened.\n\n%1").arg(toQt(opened.reason)));
        return false;
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (holdsUnwrittenText() &&
        !CDone->confirm(
            this,
            tr("The sections hold text that was neither saved nor opened.\n\nReplace it with %1?")
                .arg(shown),
            tr("&Replace")))
        return false;
    {
        BusyCursor busy;
        for (Section section : sectionsInOrder) {
            std::string& text = opened.sections[static_cast<std::size_t>(section)];
            loadBoxText(sectionBoxes_[static_cast<std::size_t>(section)], text);
            std::string().swap(text);
        }
    }
    markWritten();
    CDone->FileName = QFileInfo(path).absoluteFilePath();
    setWindowTitle(QStringLiteral("Rulecraft V1 :: %1").arg(QFileInfo(path).fileName()));
    if (opened.undefinedBytes > 0)
        CDone->warn(this, tr("%1 was read as Windows-1252. %n byte(s) that the code page leaves "
                             "undefined now read U+FFFD (\uFFFD).",
                             nullptr, static_cast<int>(opened.undefinedBytes))
                              .arg(shown));
    return true;
}

// A box Save or Open filled is not modified until the user or a commit changes it.
bool frmMain::holdsUnwrittenText() const
{
    return std::ranges::any_of(sectionBoxes_, [](const QPlainTextEdit* box) {
        return box->document()->isModified() && !box->document()->isEmpty();
    });
}

void frmMain::markWritten()
{
    for (QPlainTextEdit* box : sectionBoxes_)
        box->document()->setModified(false);
}

void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedStylesheet(event->mimeData()))
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event)
{
    if (const std::optional<QString> path = droppedStylesheet(event->mimeData())) {
        event->acceptProposedAction();
        openFile(*path);
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
        event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (const std::optional<QString> path = droppedStylesheet(drop->mimeData())) {
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                openFile(*path);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::cmdExit_Click()
{
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The other windows belong to this one and go with it: an open editor commits
    // nothing, and the program never runs on with no main window.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            child->hide();
    }
    preview_->close();
    event->accept();
    QCoreApplication::quit();
}

} // namespace rulecraft::windows
