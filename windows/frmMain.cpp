#include "frmMain.h"

#include "commondialog.h"
#include "controls.h"
#include "frmAbout.h"
#include "frmCustom.h"
#include "frmHSize.h"
#include "frmSelection.h"
#include "instances.h"
#include "stylesheet.h"
#include "stylesheetbuffer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace rulecraft::windows {

namespace {

struct Caption {
    const char* name;
    const char* text;
    int top;
};

constexpr Caption tagLabels[] = {{"Label1", "body:", 360},
                                 {"Label2", "a:", 960},
                                 {"Label3", "table:", 2280},
                                 {"Label4", "hr:", 3360},
                                 {"Label5", "h(size):", 3960}};

// Catalogue buttons; their keys and openers come from the core's catalogue.
constexpr Caption tagButtons[] = {
    {"cmdBody", "Create BODY:", 600},      {"cmdA", "Create A:", 1200},
    {"cmdAlink", "Create A:link", 1440},   {"cmdAvisited", "Create A:visited", 1680},
    {"cmdAhover", "Create A:hover", 1920}, {"cmdTable", "Create TABLE:", 2520},
    {"cmdTR", "Create TR:", 2760},         {"cmdTD", "Create TD:", 3000},
    {"cmdHR", "Create HR:", 3600}};

// In the order of Section, which is the order of assembly; the text is the spoken name.
constexpr Caption sectionBoxPlaces[] = {
    {"tBody", "body section", 360},    {"tA", "a section", 1200},
    {"tTABLE", "table section", 2520}, {"tHR", "hr section", 3600},
    {"tH", "headings section", 4200},  {"tBlank", "custom section", 4800}};

constexpr int tagColumnLeft = 240;
constexpr int sectionLeft = 2040;
constexpr int commandLeft = 7680;

const QString saveFilter =
    QStringLiteral("Text Files(*.txt) |*.txt|HTML Files(*.html) |*.html|CSS Files(*.css)|*.css");
constexpr int saveFlags = CommonDialog::OverwritePrompt | CommonDialog::PathMustExist;

const CatalogueTag& catalogueTag(std::string_view button)
{
    for (const CatalogueTag& tag : tagCatalogue) {
        if (tag.button == button)
            return tag;
    }
    Q_UNREACHABLE();
}

// The document lives in the section boxes; the core reaches it through this.
class SectionBoxes final : public SectionSet {
public:
    explicit SectionBoxes(const std::array<QPlainTextEdit*, 6>& boxes) : boxes_(boxes) {}

    std::string text(Section section) const override { return boxText(box(section)); }
    void replace(Section section, std::string_view text) override
    {
        setBoxText(box(section), text);
    }
    void append(Section section, std::string_view text) override
    {
        appendToBox(box(section), text);
    }

private:
    QPlainTextEdit* box(Section section) const { return boxes_[static_cast<std::size_t>(section)]; }

    std::array<QPlainTextEdit*, 6> boxes_;
};

} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Rulecraft V1"));
    setWindowIcon(applicationIcon());

    buildTagColumn();
    buildSectionColumn();
    buildCommandColumn();
    setTabOrder();
    sections_ = std::make_unique<SectionBoxes>(sectionBoxes_);
    CDone = new CommonDialog(this);
    CDone->setObjectName(QStringLiteral("CDone"));

    placeClientArea(this, twipsRect(60, 450, 8925, 5340));
    sectionBoxes_[0]->setFocus();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::buildTagColumn()
{
    makeLabel(this, "Label8", QStringLiteral("TAG SELECTOR"), twipsRect(120, 120, 1335, 255));
    for (const Caption& label : tagLabels)
        makeLabel(this, label.name, QLatin1String(label.text),
                  twipsRect(tagColumnLeft, label.top, 1215, 285));
    makeLabel(this, "Label6", QStringLiteral("BLANK (customize):"),
              twipsRect(tagColumnLeft, 4560, 1575, 285));

    for (const Caption& button : tagButtons) {
        QPushButton* control = makeButton(this, button.name, QLatin1String(button.text),
                                          twipsRect(tagColumnLeft, button.top, 1575, 255));
        const CatalogueTag& tag = catalogueTag(button.name);
        connect(control, &QPushButton::clicked, this, [this, &tag] { chooseTag(tag); });
    }
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
        const Caption& place = sectionBoxPlaces[i];
        sectionBoxes_[i] =
            makeTextArea(this, place.name, twipsRect(sectionLeft, place.top, 5535, 525),
                         QLatin1String(place.text));
    }
}

void frmMain::buildCommandColumn()
{
    connect(makeButton(this, "cmdSave", QStringLiteral("&Save"),
                       twipsRect(commandLeft, 120, 1215, 495)),
            &QPushButton::clicked, this, &frmMain::cmdSave_Click);
    connect(makeButton(this, "cmdAbout", QStringLiteral("&About"),
                       twipsRect(commandLeft, 960, 1215, 255)),
            &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    h = new StylesheetBuffer(this);
    h->setObjectName(QStringLiteral("h"));
    h->setGeometry(twipsRect(commandLeft, 3720, 1215, 1095));
    connect(makeButton(this, "cmdExit", QStringLiteral("E&xit"),
                       twipsRect(commandLeft, 4920, 1215, 375)),
            &QPushButton::clicked, this, &frmMain::cmdExit_Click);
}

void frmMain::setTabOrder()
{
    setTabChain(this, {"tBody",  "tA",        "tTABLE",   "tHR",         "tH",
                       "tBlank", "cmdBody",   "cmdA",     "cmdTable",    "cmdHR",
                       "cmdH",   "cmdCustom", "cmdAlink", "cmdAvisited", "cmdAhover",
                       "cmdTR",  "cmdTD",     "cmdExit",  "cmdSave",     "cmdAbout"});
}

SectionSet& frmMain::sections()
{
    return *sections_;
}

CommonDialog& frmMain::commonDialog()
{
    return *CDone;
}

void frmMain::Form_Load()
{
    modVar.AppVersion = "v1";
}

void frmMain::chooseTag(const CatalogueTag& tag)
{
    chooseCatalogueTag(tag);
    openWindow<frmSelection>();
}

void frmMain::cmdH_Click()
{
    openWindow<frmHSize>();
}

void frmMain::cmdCustom_Click()
{
    openWindow<frmCustom>();
}

void frmMain::cmdAbout_Click()
{
    openWindow<frmAbout>();
}

void frmMain::cmdSave_Click()
{
    h->setText(assembleStylesheet(sections_->texts()));

    CDone->CancelError = true;
    CDone->Flags = saveFlags;
    CDone->Filter = saveFilter;
    if (!CDone->ShowSave(this))
        return;

    const QString path = CDone->FileName;
    const WriteResult written = writeStylesheet(QFile::encodeName(path).toStdString(), h->text());
    if (!written.ok) {
        QMessageBox::warning(this, tr("Rulecraft"),
                             tr("The stylesheet was not saved.\n\n%1").arg(toQt(written.reason)));
        return;
    }
    setWindowTitle(toQt(savedTitle(modVar.AppVersion, toCore(shortDateToday()))));
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
    event->accept();
    QCoreApplication::quit();
}

} // namespace rulecraft::windows
