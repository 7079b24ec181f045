#include "testsupport.h"

#include "controls.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScreen>

using namespace rulecraft::windows;
using namespace rulecraft::windows::test;

class tst_Layout : public QObject {
    Q_OBJECT

private slots:
    void init() { startProgram(); }
    void cleanup() { QVERIFY(closeEverything()); }

    void controlSitsAtItsDesignedPlace_data();
    void controlSitsAtItsDesignedPlace();
    void windowHasDesignedClientArea_data();
    void windowHasDesignedClientArea();
    void captionsFitTheirControls_data();
    void captionsFitTheirControls();
    void tabOrderFollowsDesign_data();
    void tabOrderFollowsDesign();
};

namespace {

// Opens the window of that name the way a user would, from the main window.
QWidget* open(const QString& name)
{
    static const QHash<QString, const char*> opener{{"frmSelection", "cmdA"},
                                                    {"frmHSize", "cmdH"},
                                                    {"frmCustom", "cmdCustom"},
                                                    {"frmAbout", "cmdAbout"}};
    if (opener.contains(name))
        click(window("frmMain"), opener.value(name));
    QWidget* opened = window(qPrintable(name));
    return opened && QTest::qWaitForWindowExposed(opened) ? opened : nullptr;
}

void row(const char* window, const char* control, int left, int top, int width, int height)
{
    QTest::addRow("%s.%s", window, control)
        << QString::fromLatin1(window) << QString::fromLatin1(control)
        << twipsRect(left, top, width, height);
}

QString visibleCaption(const QWidget* control)
{
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(control))
        text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(control))
        text = button->text();
    return text.remove(QLatin1Char('&'));
}

// The width of a control's caption line that no later sibling is drawn over.
int uncoveredWidth(const QWidget* control, int textHeight)
{
    const int textLine = control->y() + textHeight / 2;
    int width = control->width();
    const QObjectList& siblings = control->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(control) + 1; i < siblings.size(); ++i) {
        auto* sibling = qobject_cast<QWidget*>(siblings[i]);
        if (!sibling || !sibling->isVisible())
            continue;
        const QRect over = sibling->geometry();
        if (over.top() <= textLine && over.bottom() >= textLine && over.x() > control->x() &&
            over.x() < control->x() + control->width())
            width = std::min(width, over.x() - control->x());
    }
    return width;
}

} // namespace

void tst_Layout::controlSitsAtItsDesignedPlace_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("controlName");
    QTest::addColumn<QRect>("place");

    row("frmMain", "Label8", 120, 120, 1335, 255);
    row("frmMain", "Label1", 240, 360, 1215, 285);
    row("frmMain", "cmdBody", 240, 600, 1575, 255);
    row("frmMain", "Label2", 240, 960, 1215, 285);
    row("frmMain", "cmdA", 240, 1200, 1575, 255);
    row("frmMain", "cmdAlink", 240, 1440, 1575, 255);
    row("frmMain", "cmdAvisited", 240, 1680, 1575, 255);
    row("frmMain", "cmdAhover", 240, 1920, 1575, 255);
    row("frmMain", "Label3", 240, 2280, 1215, 285);
    row("frmMain", "cmdTable", 240, 2520, 1575, 255);
    row("frmMain", "cmdTR", 240, 2760, 1575, 255);
    row("frmMain", "cmdTD", 240, 3000, 1575, 255);
    row("frmMain", "Label4", 240, 3360, 1215, 285);
    row("frmMain", "cmdHR", 240, 3600, 1575, 255);
    row("frmMain", "Label5", 240, 3960, 1215, 285);
    row("frmMain", "cmdH", 240, 4200, 1575, 255);
    row("frmMain", "Label6", 240, 4560, 1575, 285);
    row("frmMain", "cmdCustom", 240, 4800, 1575, 255);
    row("frmMain", "Line1", 1920, 120, twipsPerPixel, 5160);
    row("frmMain", "Label9", 2040, 120, 2655, 255);
    row("frmMain", "tBody", 2040, 360, 5535, 525);
    row("frmMain", "tA", 2040, 1200, 5535, 525);
    row("frmMain", "tTABLE", 2040, 2520, 5535, 525);
    row("frmMain", "tHR", 2040, 3600, 5535, 525);
    row("frmMain", "tH", 2040, 4200, 5535, 525);
    row("frmMain", "tBlank", 2040, 4800, 5535, 525);
    row("frmMain", "cmdSave", 7680, 120, 1215, 495);
    row("frmMain", "cmdAbout", 7680, 960, 1215, 255);
    row("frmMain", "h", 7680, 3720, 1215, 1095);
    row("frmMain", "cmdExit", 7680, 4920, 1215, 375);

    row("frmSelection", "Label", 120, 120, 6855, 495);
    const char* rows[][5] = {{"Label8", "cFont", "tFont", "cAFont", "720"},
                             {"Label7", "cText", "tText", "cAText", "1080"},
                             {"Label6", "cPadding", "tPadding", "cAPadding", "1440"},
                             {"Label5", "cBorder", "tBorder", "cABorder", "1800"},
                             {"Label4", "cMargin", "tMargin", "cAMargin", "2160"},
                             {"Label3", "cBackground", "tBackground", "cABackground", "2520"}};
    for (const auto& r : rows) {
        const int top = QByteArray(r[4]).toInt();
        row("frmSelection", r[0], 120, top, 1215, 285);
        row("frmSelection", r[1], 1440, top, 1965, 315);
        row("frmSelection", r[2], 3480, top, 2895, 285);
        row("frmSelection", r[3], 6480, top, 495, 255);
    }
    row("frmSelection", "Label2", 120, 2880, 1215, 285);
    row("frmSelection", "tColor", 1440, 2880, 2895, 285);
    row("frmSelection", "cAColor", 4440, 2880, 495, 255);
    row("frmSelection", "cmdSelColor", 5040, 2880, 1215, 255);
    row("frmSelection", "cmdAddSelection", 240, 3240, 1215, 495);
    row("frmSelection", "txtHolder", 1560, 3240, 5415, 3855);
    row("frmSelection", "cmdClose", 240, 6480, 1215, 495);

    row("frmHSize", "Label1", 120, 120, 1215, 255);
    row("frmHSize", "cmbH", 1320, 120, 615, 315);
    row("frmHSize", "Command1", 240, 480, 1215, 255);

    row("frmCustom", "Label1", 120, 120, 1215, 255);
    row("frmCustom", "txtName", 1080, 120, 3495, 285);
    row("frmCustom", "Command1", 1680, 480, 1215, 255);

    row("frmAbout", "Label1", 120, 120, 9135, 375);
    row("frmAbout", "Text1", 120, 720, 8295, 2055);
    row("frmAbout", "cmdOK", 8520, 2400, 735, 255);
}

void tst_Layout::controlSitsAtItsDesignedPlace()
{
    QFETCH(QString, windowName);
    QFETCH(QString, controlName);
    QFETCH(QRect, place);
    QWidget* opened = open(windowName);
    QVERIFY(opened);
    QCOMPARE(control<QWidget>(opened, qPrintable(controlName))->geometry(), place);
}

void tst_Layout::windowHasDesignedClientArea_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("main") << "frmMain" << twipsRect(60, 450, 8925, 5340) << false;
    QTest::newRow("editor") << "frmSelection" << twipsRect(7905, 3780, 7035, 7095) << true;
    QTest::newRow("heading size") << "frmHSize" << twipsRect(5085, 6135, 2010, 855) << true;
    QTest::newRow("custom tag") << "frmCustom" << twipsRect(165, 6255, 4680, 795) << true;
    QTest::newRow("about") << "frmAbout" << QRect(QPoint(), twipsRect(0, 0, 9345, 2730).size())
                           << true;
}

void tst_Layout::windowHasDesignedClientArea()
{
    QFETCH(QString, windowName);
    QFETCH(QRect, area);
    QFETCH(bool, fixed);
    QWidget* opened = open(windowName);
    QVERIFY(opened);
    QCOMPARE(opened->size(), area.size());
    QCOMPARE(opened->minimumSize() == opened->maximumSize(), fixed);
    QCOMPARE(opened->windowType() == Qt::Tool, fixed);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (!area.topLeft().isNull() && screen.contains(area))
        QCOMPARE(opened->geometry().topLeft(), area.topLeft());
    else
        QVERIFY(screen.contains(opened->geometry()) || opened->width() > screen.width());
}

void tst_Layout::captionsFitTheirControls_data()
{
    QTest::addColumn<QString>("windowName");
    for (const char* name : {"frmMain", "frmSelection", "frmHSize", "frmCustom", "frmAbout"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_Layout::captionsFitTheirControls()
{
    QFETCH(QString, windowName);
    QWidget* opened = open(windowName);
    QVERIFY(opened);
    // The face the layout was drawn for is installed by the set-up command.
    QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Liberation Sans"));

    int checked = 0;
    for (QWidget* widget : opened->findChildren<QWidget*>()) {
        const QString caption = visibleCaption(widget);
        if (caption.isEmpty())
            continue;
        const QFontMetrics metrics(widget->font());
        // A button's frame takes a couple of pixels on each side.
        const int frame = qobject_cast<QAbstractButton*>(widget) ? 4 : 0;
        const int room = uncoveredWidth(widget, metrics.height()) - frame;
        QVERIFY2(metrics.horizontalAdvance(caption) <= room,
                 qPrintable(QStringLiteral("%1 \"%2\" needs %3 px, has %4")
                                .arg(widget->objectName(), caption)
                                .arg(metrics.horizontalAdvance(caption))
                                .arg(room)));
        QVERIFY2(metrics.height() <= widget->height(), qPrintable(widget->objectName()));
        ++checked;
    }
    QVERIFY(checked >= 2);
}

void tst_Layout::tabOrderFollowsDesign_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("main") << "frmMain"
                          << QStringList{"tBody",    "tA",          "tTABLE",    "tHR",
                                         "tH",       "tBlank",      "cmdBody",   "cmdA",
                                         "cmdTable", "cmdHR",       "cmdH",      "cmdCustom",
                                         "cmdAlink", "cmdAvisited", "cmdAhover", "cmdTR",
                                         "cmdTD",    "cmdExit",     "cmdSave",   "cmdAbout"};
    QTest::newRow("heading size") << "frmHSize" << QStringList{"cmbH", "Command1"};
    QTest::newRow("custom tag") << "frmCustom" << QStringList{"txtName", "Command1"};
    QTest::newRow("about") << "frmAbout" << QStringList{"cmdOK"};
}

void tst_Layout::tabOrderFollowsDesign()
{
    QFETCH(QString, windowName);
    QFETCH(QStringList, order);
    QWidget* opened = open(windowName);
    QVERIFY(opened);
    QCOMPARE(tabOrder(opened, control<QWidget>(opened, qPrintable(order.first()))), order);
}

QTEST_MAIN(tst_Layout)
#include "tst_layout.moc"
