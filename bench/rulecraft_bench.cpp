// Measures each figure against a baseline in the same run, alternating the two at least
// 15 times, and prints medians and their ratio. Run by bench/run.sh.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"
#include "windows/commondialog.h"
#include "windows/declarationsbox.h"
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/preview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace rulecraft;
using namespace rulecraft::windows;

namespace {

constexpr int runs = 15;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* figure, const char* unit, double measured, double baseline, double target)
{
    const double ratio = measured / baseline;
    std::printf("| %s | %.3f %s | %.3f %s | %.2f | %.2f | %s |\n", figure, measured, unit, baseline,
                unit, ratio, target, ratio <= target ? "met" : "missed");
    std::fflush(stdout);
}

// Alternates the measured work and its baseline, each returning one sample.
void comparePair(const char* figure, const std::function<double()>& measured,
                 const std::function<double()>& baseline, double target)
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(measured());
        b.push_back(baseline());
    }
    report(figure, "ms", median(a), median(b), target);
}

// ---- Start-up ----------------------------------------------------------------------------

struct StartSample {
    double milliseconds = 0;
    double peakKilobytes = 0;
};

StartSample startOnce(const std::string& program, const char* argument = nullptr)
{
    int out[2];
    if (pipe(out) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};

    timespec before{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
        std::abort();
    close(out[1]);
    std::string line;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        line.append(buffer, std::size_t(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);

    long long paintedAt = 0;
    long peak = 0;
    if (std::sscanf(line.c_str(), "%lld %ld", &paintedAt, &peak) != 2)
        std::abort();
    const long long startedAt = before.tv_sec * 1000000000LL + before.tv_nsec;
    return {double(paintedAt - startedAt) / 1e6, double(peak)};
}

void startUp(const std::string& folder)
{
    std::vector<double> time, baseTime, memory, baseMemory;
    startOnce(folder + "/startup_rulecraft"); // warm the file cache for both
    startOnce(folder + "/startup_baseline");
    for (int i = 0; i < runs; ++i) {
        const StartSample ours = startOnce(folder + "/startup_rulecraft");
        const StartSample base = startOnce(folder + "/startup_baseline");
        time.push_back(ours.milliseconds);
        baseTime.push_back(base.milliseconds);
        memory.push_back(ours.peakKilobytes);
        baseMemory.push_back(base.peakKilobytes);
    }
    report("start-up to first paint", "ms", median(time), median(baseTime), 1.15);
    report("peak resident memory at first paint", "KB", median(memory), median(baseMemory), 1.15);

    // Not a target: against a window that shows one label and so loads fonts too.
    std::vector<double> labelTime, labelMemory;
    time.clear();
    memory.clear();
    for (int i = 0; i < runs; ++i) {
        const StartSample ours = startOnce(folder + "/startup_rulecraft");
        const StartSample base = startOnce(folder + "/startup_baseline", "label");
        time.push_back(ours.milliseconds);
        labelTime.push_back(base.milliseconds);
        memory.push_back(ours.peakKilobytes);
        labelMemory.push_back(base.peakKilobytes);
    }
    report("(start-up against a window with one label)", "ms", median(time), median(labelTime),
           1.15);
    report("(peak memory against a window with one label)", "KB", median(memory),
           median(labelMemory), 1.15);
}

// ---- In the windows ----------------------------------------------------------------------

QWidget* openWindowNamed(const char* name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void press(QWidget* window, const char* button)
{
    window->findChild<QPushButton*>(QLatin1String(button))->click();
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string rulesOf(std::size_t size)
{
    std::string rules;
    while (rules.size() < size)
        rules += "a:hover { color:#FF0000; font-size: 12px; text-decoration: none;  }\r\n";
    return rules;
}

// The time of Add Selection in the editor, filing one rule into the link section.
double oneCommit(frmMain& main, const std::string& sectionText)
{
    main.sections().replace(Section::A, sectionText);
    settle();
    constexpr int commits = 20;
    double total = 0;
    for (int i = 0; i < commits; ++i) {
        press(&main, "cmdAhover");
        QWidget* editor = openWindowNamed("frmSelection");
        press(editor, "cAColor");
        total += millisecondsOf([&] { press(editor, "cmdAddSelection"); });
        settle();
    }
    return total / commits;
}

// The time of one Add in a holder that already holds the given amount of text.
double oneAdd(frmMain& main, std::size_t holderSize)
{
    press(&main, "cmdTD");
    QWidget* editor = openWindowNamed("frmSelection");
    auto* holder = editor->findChild<DeclarationsBox*>(QStringLiteral("txtHolder"));
    // Pieces of the length the box shows as one paragraph, as Adds would leave them.
    const std::string piece = rulesOf(100).substr(0, 100);
    while (holder->text().size() < holderSize)
        holder->append(piece);
    settle();
    constexpr int adds = 20;
    const double total = millisecondsOf([&] {
        for (int i = 0; i < adds; ++i)
            press(editor, "cAMargin");
    });
    press(editor, "cmdClose");
    settle();
    return total / adds;
}

// Many commits through the core into the main window's boxes, across the sections.
double manyCommits(frmMain& main, int count)
{
    for (Section section : sectionsInOrder)
        main.sections().replace(section, "");
    settle();
    static const char* keys[] = {"a", "ahover", "td", "hr", "h2", "p.note"};
    return millisecondsOf([&] {
        for (int i = 0; i < count; ++i)
            fileRule(main.sections(), keys[i % 6],
                     ruleText(openerFor(keys[i % 6]), "color:#FF0000; margin: 0; ", tagCloser));
        QCoreApplication::processEvents();
    });
}

double plainWrite(const std::string& path, std::size_t size, bool flush)
{
    const std::string chunk(64 * 1024, 'x');
    return millisecondsOf([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::size_t done = 0; done < size; done += chunk.size()) {
            if (::write(fd, chunk.data(), std::min(chunk.size(), size - done)) < 0)
                std::abort();
        }
        if (flush)
            ::fsync(fd);
        ::close(fd);
    });
}

// A main window of its own whose sections hold the given texts, in the order of assembly.
std::unique_ptr<frmMain> windowWith(const std::vector<std::string>& texts)
{
    auto window = std::make_unique<frmMain>(nullptr);
    for (std::size_t i = 0; i < texts.size(); ++i)
        window->sections().replace(sectionsInOrder[i], texts[i]);
    settle();
    return window;
}

// The whole Save command, from pressing Save to the written file, the dialog answered at once.
double saveCommand(frmMain& window, const std::string& target)
{
    CommonDialog::Script script;
    script.saves.push_back(QString::fromStdString(target));
    window.commonDialog().setScript(&script);
    return millisecondsOf([&] { press(&window, "cmdSave"); });
}

// Each Save of a pair replaces a file of its own, so that neither pays for the file system
// freeing the other's.
void save(const QString& folder)
{
    const auto path = [&](const char* name) { return QDir(folder).filePath(name).toStdString(); };
    const std::string target = path("style.css"), plain = path("plain.css");
    const std::string ten = rulesOf(10'000'000);
    {
        const auto fifty = windowWith({"", "", "", "", "", rulesOf(50'000'000)});
        const auto tenOnly = windowWith({"", "", "", "", "", ten});
        comparePair(
            "Save command: one section of 50 MB vs one of 10 MB",
            [&] { return saveCommand(*fifty, target); },
            [&] { return saveCommand(*tenOnly, path("ten.css")); }, 5.5);
    }
    const auto six = windowWith(std::vector<std::string>(sectionCount, ten));
    const std::size_t bytes = 6 * (ten.size() + 2) + 2;
    comparePair(
        "Save command: six sections of 10 MB vs a plain write and fsync of the same bytes",
        [&] { return saveCommand(*six, target); }, [&] { return plainWrite(plain, bytes, true); },
        3.0);
}

// The whole Open command, from pressing Open until the window has shown the opened text, the
// dialog answered at once.
double openCommand(frmMain& window, const std::string& path)
{
    CommonDialog::Script script;
    script.opens.push_back(QString::fromStdString(path));
    window.commonDialog().setScript(&script);
    return millisecondsOf([&] {
        press(&window, "cmdOpen");
        QCoreApplication::processEvents();
    });
}

// Rules for every section, as a stylesheet from elsewhere would hold them.
std::string mixedRulesOf(std::size_t size)
{
    static const char* selectors[] = {"body", "a:hover", "td", "hr", "h2", "p.note"};
    std::string rules;
    for (std::size_t i = 0; rules.size() < size; ++i)
        rules += std::string(selectors[i % 6]) +
                 " {\r\n  color: #FF0000; /* red */\r\n  margin: 0 auto;\r\n}\r\n";
    return rules;
}

void open(const QString& folder)
{
    const auto path = [&](const char* name) { return QDir(folder).filePath(name).toStdString(); };
    const auto writeFile = [](const std::string& name, const std::string& bytes) {
        QFile file(QString::fromStdString(name));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            std::abort();
    };
    writeFile(path("fifty.css"), mixedRulesOf(50'000'000));
    writeFile(path("ten.css"), mixedRulesOf(10'000'000));
    {
        const auto fifty = windowWith({});
        const auto ten = windowWith({});
        fifty->show();
        ten->show();
        comparePair(
            "Open command: a file of 50 MB vs one of 10 MB",
            [&] { return openCommand(*fifty, path("fifty.css")); },
            [&] { return openCommand(*ten, path("ten.css")); }, 5.5);
    }
    // Save's own file, opened into a window that, from the second Open on, holds its text.
    const std::string tenEach = mixedRulesOf(10'000'000);
    const auto saved = windowWith(std::vector<std::string>(sectionCount, tenEach));
    const auto opened = windowWith({});
    saved->show();
    opened->show();
    saveCommand(*saved, path("sixty.css"));
    comparePair(
        "Open command: a file of 60 MB vs the Save command of the same 60 MB",
        [&] { return openCommand(*opened, path("sixty.css")); },
        [&] { return saveCommand(*saved, path("sixty-saved.css")); }, 1.5);
}

// A browser on the preview, doing what its page does: it asks for the stamps every quarter
// of a second and fetches the whole stylesheet whenever its stamp changed.
class PollingBrowser : public QObject {
public:
    explicit PollingBrowser(const QUrl& page) : page_(page) { poll(); }

private:
    void poll()
    {
        QNetworkReply* stamps = network_.get(QNetworkRequest(page_.resolved(QUrl("version"))));
        connect(stamps, &QNetworkReply::finished, this, [this, stamps] {
            stamps->deleteLater();
            if (const QByteArray sheet = stamps->readAll().split(' ').value(0); sheet != sheet_) {
                sheet_ = sheet;
                QNetworkReply* css =
                    network_.get(QNetworkRequest(page_.resolved(QUrl("style.css"))));
                connect(css, &QNetworkReply::finished, css, &QObject::deleteLater);
            }
            QTimer::singleShot(250, this, [this] { poll(); });
        });
    }

    QNetworkAccessManager network_;
    QUrl page_;
    QByteArray sheet_;
};

// Runs the event loop, as it runs between a person's keys.
void idle(int milliseconds)
{
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// After a pause, ten actions a tenth of a second apart. Each counts from when it was due to
// when it is done, so that any work the event loop was busy with when it came (a browser's
// request, say) delays it as it would delay a person's key or click.
double spacedActions(const std::function<void()>& action)
{
    idle(1000);
    double total = 0;
    for (int i = 0; i < 10; ++i) {
        const auto due = Clock::now() + std::chrono::milliseconds(100);
        while (Clock::now() < due)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        action();
        total += std::chrono::duration<double, std::milli>(Clock::now() - due).count();
    }
    return total / 10;
}

double typedKey(QPlainTextEdit* box)
{
    return spacedActions([box] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(box, &press);
    });
}

// Adds in the editor while the custom section holds 10 MB, with a browser on the preview,
// which shows every Add before it is committed, or with no preview open.
double addsInEditor(frmMain& main, bool previewed)
{
    std::unique_ptr<PollingBrowser> browser;
    main.preview().setBrowser([&browser](const QUrl& page, std::function<void()>) {
        browser = std::make_unique<PollingBrowser>(page);
    });
    if (previewed)
        main.preview().open();
    press(&main, "cmdTD");
    QWidget* editor = openWindowNamed("frmSelection");
    // A rule pending already, which the browser fetches during the pause.
    press(editor, "cAMargin");
    const double taken = spacedActions([editor] { press(editor, "cAMargin"); });
    press(editor, "cmdClose");
    main.preview().close();
    settle();
    return taken;
}

// The longest the event loop is kept from the windows' events while a key is typed every
// 0.4 s: a key's own handling, or anything that runs between keys (a build of what the
// preview serves, a browser's request).
double longestStall(QPlainTextEdit* box)
{
    idle(1000);
    double longest = 0;
    for (int i = 0; i < 10; ++i) {
        const auto next = Clock::now() + std::chrono::milliseconds(400);
        longest = std::max(longest, millisecondsOf([box] {
                               QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier,
                                               QStringLiteral("x"));
                               QApplication::sendEvent(box, &press);
                           }));
        while (Clock::now() < next)
            longest = std::max(longest, millisecondsOf([] { QCoreApplication::processEvents(); }));
    }
    return longest;
}

void typingWithPreview()
{
    const std::string fifty = rulesOf(50'000'000);
    const auto previewed = windowWith({"", "", "", "", "", fifty});
    const auto plain = windowWith({"", "", "", "", "", fifty});
    std::unique_ptr<PollingBrowser> browser;
    previewed->preview().setBrowser([&browser](const QUrl& page, std::function<void()>) {
        browser = std::make_unique<PollingBrowser>(page);
    });
    previewed->preview().open();
    auto* previewedBox = previewed->findChild<QPlainTextEdit*>(QStringLiteral("tBlank"));
    auto* plainBox = plain->findChild<QPlainTextEdit*>(QStringLiteral("tBlank"));
    previewedBox->moveCursor(QTextCursor::End);
    plainBox->moveCursor(QTextCursor::End);
    comparePair(
        "a key typed into a custom section of 50 MB with a browser on the preview vs without",
        [&] { return typedKey(previewedBox); }, [&] { return typedKey(plainBox); }, 1.5);
    comparePair(
        "the longest stall while typing a key every 0.4 s into a custom section of 50 MB "
        "with a browser on the preview vs without",
        [&] { return longestStall(previewedBox); }, [&] { return longestStall(plainBox); }, 1.5);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string folder =
        QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath().toStdString();
    const std::string only = argc > 1 ? argv[1] : "";
    std::printf("| figure | measured | baseline | ratio | target | |\n|---|---|---|---|---|---|\n");
    if (only.empty() || only == "startup")
        startUp(folder);

    QApplication app(argc, argv);
    applyApplicationLook();
    frmMain& main = openWindow<frmMain>(nullptr);
    settle();
    const std::string tenMegabytes = rulesOf(10'000'000);
    if (only.empty() || only == "commit")
        comparePair(
            "one commit into a section of 10 MB vs an empty one",
            [&] { return oneCommit(main, tenMegabytes); }, [&] { return oneCommit(main, ""); },
            1.5);
    if (only.empty() || only == "add")
        comparePair(
            "one Add into a holder of 1 MB vs an empty one",
            [&] { return oneAdd(main, 1'000'000); }, [&] { return oneAdd(main, 0); }, 1.5);
    if (only.empty() || only == "commits")
        comparePair(
            "20,000 commits vs 10,000 commits", [&] { return manyCommits(main, 20000); },
            [&] { return manyCommits(main, 10000); }, 2.2);
    if (only.empty() || only == "typing")
        typingWithPreview();
    if (only.empty() || only == "pending") {
        main.sections().replace(Section::Blank, tenMegabytes);
        comparePair(
            "an Add in the editor with a 10 MB section and a browser on the preview vs none",
            [&] { return addsInEditor(main, true); }, [&] { return addsInEditor(main, false); },
            1.5);
        main.sections().replace(Section::Blank, "");
    }
    if (only.empty() || only == "save") {
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
        save(dir.path());
    }
    if (only.empty() || only == "open") {
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
        open(dir.path());
    }
    return 0;
}
