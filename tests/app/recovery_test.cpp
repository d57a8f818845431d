// The recovery copies of unsaved changes: editors in this process (and
// killed ones, in processes of their own), and the real editor on the test's
// X server, clicked with xdotool, killed and signalled.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QUndoStack>
#include <csignal>

#include "app/main_window.h"
#include "io/file_io.h"
#include "program/program.h"
#include "support/temp_dir.h"
#include "support/x11_environment.h"
#include "ui/path_bytes.h"

using namespace dozu;
using dozu::testing::read_bytes;
using dozu::testing::TempDir;
using dozu::testing::write_bytes;

namespace {

QStringList files_in(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

std::vector<uint8_t> chain_with(const std::vector<uint8_t>& more) {
    LoadedProgram chain = Program::prepare(read_file(DOZU_EXAMPLES "/chain.tpg", kMaxProgramFileSize));
    chain.steps.insert(chain.steps.end(), more.begin(), more.end());
    return encode_program_file(chain.table, chain.steps);
}

// An editor killed with unsaved changes: what it edited is left in its copy.
void killed_editor(const std::function<void(ProgramDocument&)>& edit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ProgramDocument document;
        RecoveryCopy copy(document);
        edit(document);
        ::_exit(copy.write_now(5000) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(15000)) tool.kill(), tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The one visible window of that name, or empty.
QString window_named(const QString& pattern) {
    const QString found = xdotool({"search", "--onlyvisible", "--name", pattern});
    return found.contains('\n') ? QString() : found;
}

// The real editor, with data and settings folders in temp.
std::unique_ptr<QProcess> editor(const TempDir& temp, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", QString::fromStdString(temp / "data"));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(temp / "config"));
    // Under AddressSanitizer: the editor's GL driver, unloaded at its end,
    // leaves leaks that cannot be named, let alone suppressed. The editors
    // of this process are checked for leaks.
    QStringList sanitizer = environment.value("ASAN_OPTIONS").split(':', Qt::SkipEmptyParts);
    environment.insert("ASAN_OPTIONS", (sanitizer << "detect_leaks=0").join(':'));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(DOZU_EDITOR, arguments);
    return process;
}

}  // namespace

TEST(Recovery, EditorsKeepTheirOwnCopiesAndRestoreLeftOnes) {
    TempDir temp;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(temp / "config"));
    const QString folder = RecoveryCopy::default_folder();
    const QString chain = QString::fromStdString(temp / "chain.tpg");
    {
        TFormMain a, b;
        for (TFormMain* form : {&a, &b}) form->ask_unsaved = [](const QString&) { return QMessageBox::Discard; };
        a.document().click_button(1);
        for (int tag : {1, 6, 4, 2, 17}) b.document().click_button(tag);
        ASSERT_TRUE(x11test::WaitFor([&] { return QDir(folder).entryList({"*.tpg"}).size() == 2; }));
        // Two live editors: neither offers the other's copy.
        int asked = 0;
        a.ask_restore = [&](const LeftCopy&) { return ++asked, RestoreAnswer::restore; };
        EXPECT_FALSE(a.restore_left_programs());
        EXPECT_EQ(asked, 0);

        // Copies no editor holds: the newer one (of a new program) is
        // discarded, the older one (of chain.tpg) restored.
        const std::vector<uint8_t> lost =
            encode_program_file(b.document().program().table, b.document().program().steps());
        const QStringList copies = QDir(folder).entryList({"*.tpg"});
        EXPECT_TRUE(std::any_of(copies.begin(), copies.end(), [&](const QString& copy) {
            return read_bytes(QFile::encodeName(folder + "/" + copy).toStdString()) == lost;
        }));
        for (const char* id : {"gone", "other"})
            write_bytes(QFile::encodeName(folder + "/" + id + ".tpg").toStdString(), lost);
        const QByteArray name = chain.toUtf8();
        write_bytes(QFile::encodeName(folder + "/gone.name").toStdString(), {name.begin(), name.end()});
        QFile gone(folder + "/gone.tpg");
        ASSERT_TRUE(gone.open(QIODevice::ReadWrite));
        gone.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
        gone.close();

        TFormMain c;
        QStringList questions;
        c.ask_restore = [&](const LeftCopy& copy) {
            questions << restore_question(copy);
            return copy.file_name.isEmpty() ? RestoreAnswer::discard : RestoreAnswer::restore;
        };
        EXPECT_TRUE(c.restore_left_programs());
        EXPECT_EQ(questions, (QStringList{
                                 "dozu quit unexpectedly while the new program had unsaved changes. Restore them?",
                                 "dozu quit unexpectedly while chain.tpg had unsaved changes. Restore them?",
                             }));
        EXPECT_EQ(c.document().program().steps(), b.document().program().steps());
        EXPECT_EQ(c.document().file_name(), chain);
        EXPECT_TRUE(c.isWindowModified());
        // The restored copy is c's own now; the discarded one is gone.
        EXPECT_EQ(QDir(folder).entryList({"*.tpg"}).size(), 3);
        for (const char* name : {"gone.tpg", "gone.name", "gone.lock", "other.tpg", "other.lock"})
            EXPECT_FALSE(QFile::exists(folder + "/" + name)) << name;

        // A save removes the copy, and so does undoing back to the saved
        // program.
        c.document().save(chain, false);
        a.document().undo_stack()->undo();
        ASSERT_TRUE(x11test::WaitFor([&] { return QDir(folder).entryList({"*.tpg"}).size() == 1; }));
    }
    // A clean end leaves nothing behind, lock files neither.
    EXPECT_EQ(files_in(folder), QStringList());
}

// The editor for real: clicks and keys from the X server, kill -9, a new
// editor that restores the lost changes, saves them where they belong and
// ends cleanly.
TEST(Recovery, ChangesOfAKilledEditorComeBack) {
    TempDir temp;
    const QString chain = QString::fromStdString(temp / "chain.tpg");
    ASSERT_TRUE(QFile::copy(DOZU_EXAMPLES "/chain.tpg", chain));
    const QString folder = QString::fromStdString(temp / "data") + "/dozu/dozu/recovery";

    // Where the buttons and the last line are: the same window in this
    // process, with the same program and the same clicks.
    TFormMain layout;
    layout.show();
    ASSERT_TRUE(layout.load_file(chain));
    for (int tag : {17, 12}) layout.document().click_button(tag);
    x11test::Pump(100);
    const auto point = [&](QWidget* widget, QPoint at) {
        at = widget->mapTo(&layout, at);
        return QStringList{QString::number(at.x()), QString::number(at.y())};
    };
    const QTableView* list = layout.FrameProgram->LBCode;
    const QStringList last_line = point(
        list->viewport(), list->visualRect(list->model()->index(int(list->model()->rowCount()) - 1, 0)).center());

    // Out of the way: only the editor's windows are on the screen.
    layout.ask_unsaved = [](const QString&) { return QMessageBox::Discard; };
    layout.close();
    x11test::Pump(100);

    std::unique_ptr<QProcess> first = editor(temp, {chain});
    const QString window =
        xdotool({"search", "--sync", "--onlyvisible", "--name", "^chain\\.tpg"}).section('\n', 0, 0);
    ASSERT_FALSE(window.isEmpty()) << "the editor's window did not show";
    // At a user's pace: each click and key handled before the next.
    const auto click = [&](const QStringList& at) {
        xdotool(QStringList{"mousemove", "--window", window} + at + QStringList{"click", "1", "sleep", "0.2"});
    };
    x11test::Pump(500);
    for (int tag : {17, 12}) {
        QPushButton* button = layout.FrameProgram->Buttons[size_t(tag - 1)];
        click(point(button, button->rect().center()));
    }
    click(last_line);
    // Alt+Up moves q above ^, R inserts MARK after it.
    xdotool({"key", "--delay", "200", "alt+Up", "r"});
    const std::vector<uint8_t> lost = chain_with({12, 18, 17});
    ASSERT_TRUE(x11test::WaitFor(
        [&] {
            const QStringList copies = QDir(folder).entryList({"*.tpg"});
            return copies.size() == 1 &&
                   read_bytes(QFile::encodeName(folder + "/" + copies[0]).toStdString()) == lost;
        },
        10000))
        << "no recovery copy of the changes";
    first->kill();
    first->waitForFinished();

    std::unique_ptr<QProcess> second = editor(temp, {});
    // The question, captioned with the editor's name, over the new editor's
    // window ("Untitled - ..."): given the keyboard as a window manager would.
    QString question;
    ASSERT_TRUE(
        x11test::WaitFor([&] { return !(question = window_named("^DOZU - 3D model encoder$")).isEmpty(); }, 15000))
        << "no question about the lost changes";
    xdotool({"windowfocus", "--sync", question, "sleep", "0.3", "key", "Return"});
    const QString restored = xdotool({"search", "--sync", "--onlyvisible", "--name", "^chain\\.tpg\\* "});
    ASSERT_FALSE(restored.isEmpty()) << "no changed chain.tpg restored";
    // The keyboard to the window, as a window manager gives it when the
    // question is gone: without one, it may go nowhere.
    x11test::Pump(500);
    xdotool({"windowfocus", "--sync", restored, "sleep", "0.3", "key", "ctrl+s"});
    EXPECT_TRUE(
        x11test::WaitFor([&] { return read_bytes(QFile::encodeName(chain).toStdString()) == lost; }, 10000));
    EXPECT_TRUE(x11test::WaitFor([&] { return QDir(folder).entryList({"*.tpg"}).isEmpty(); }, 5000));
    xdotool({"key", "ctrl+q"});
    EXPECT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(files_in(folder), QStringList());
}

// A file on the command line after a crash: first the question about the
// lost changes, then, with them run and drawn, the file's own question. The
// restored changes keep their file's name byte for byte, and a save asks
// before it replaces the file that another program has written since (here
// with as many bytes).
TEST(Recovery, AStartRestoresFirstAndKeepsTheFileAndItsContents) {
    TempDir temp;
    const std::string cafe = temp / "caf\xe9.tpg", unrelated = temp / "caf?.tpg";
    write_bytes(cafe, chain_with({}));
    write_bytes(unrelated, {'x'});
    killed_editor([&](ProgramDocument& document) {
        document.load(path_from_bytes(cafe));
        document.click_button(17);
    });
    TFormMain form;
    form.show();
    QString shown;
    form.ask_restore = [](const LeftCopy&) { return RestoreAnswer::restore; };
    form.ask_unsaved = [&](const QString&) {
        shown = form.StatusMesh->text() + ", " + form.windowTitle();
        return QMessageBox::Cancel;
    };
    form.start(DOZU_EXAMPLES "/chain.tpg");
    ASSERT_TRUE(x11test::WaitFor([&] { return !shown.isEmpty(); }, 15000));
    x11test::Pump(200);
    EXPECT_EQ(shown, form.StatusMesh->text() + ", caf\uFFFD.tpg[*] - DOZU - 3D model encoder");
    EXPECT_NE(form.StatusMesh->text(), "0 vertices, 0 quads");
    EXPECT_EQ(path_bytes(form.document().file_name()), cafe);

    write_bytes(cafe, chain_with({12}));
    QStringList asked;
    bool answer = false;
    form.ask_to_go_on = [&](const QString& question) { return asked << question, answer; };
    form.MISave->trigger();
    EXPECT_EQ(read_bytes(cafe), chain_with({12}));
    answer = true;
    form.MISave->trigger();
    EXPECT_EQ(read_bytes(cafe), chain_with({17}));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].startsWith("\"caf\uFFFD.tpg\" has changed on disk since")) << asked[0].toStdString();
    // Saved: the file is the editor's own again.
    form.document().click_button(2);
    form.MISave->trigger();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(read_bytes(unrelated), std::vector<uint8_t>{'x'});
}

// SIGTERM 0.3 s after a change keeps it; the restore question closed with
// Escape keeps the copies and asks no more; SIGHUP to a clean editor leaves
// nothing of it. Both end as their signal ends a process.
TEST(Recovery, SignalsKeepTheLastChangeAndTheQuestionCanBeClosed) {
    TempDir temp;
    const QString folder = QString::fromStdString(temp / "data") + "/dozu/dozu/recovery";
    std::unique_ptr<QProcess> first = editor(temp, {});
    const QString window =
        xdotool({"search", "--sync", "--onlyvisible", "--name", "^Untitled"}).section('\n', 0, 0);
    ASSERT_FALSE(window.isEmpty()) << "the editor's window did not show";
    x11test::Pump(500);
    xdotool({"windowfocus", "--sync", window, "sleep", "0.3", "key", "r", "sleep", "0.3"});
    ::kill(pid_t(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(first->exitCode(), SIGTERM);
    QStringList files = files_in(folder);
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();  // the copy and its name, no lock
    const QString copy = files.filter(".tpg").value(0);
    EXPECT_EQ(Program::prepare(read_bytes(QFile::encodeName(folder + "/" + copy).toStdString())).steps,
              std::vector<uint8_t>{18});
    ASSERT_TRUE(QFile::copy(folder + "/" + copy, folder + "/older.tpg"));

    std::unique_ptr<QProcess> second = editor(temp, {});
    QString question;
    ASSERT_TRUE(
        x11test::WaitFor([&] { return !(question = window_named("^DOZU - 3D model encoder$")).isEmpty(); }, 15000))
        << "no question about the lost changes";
    xdotool({"windowfocus", "--sync", question, "sleep", "0.3", "key", "Escape"});
    EXPECT_TRUE(x11test::WaitFor([&] { return window_named("^DOZU - 3D model encoder$").isEmpty(); }));
    x11test::Pump(1500);
    EXPECT_TRUE(window_named("^DOZU - 3D model encoder$").isEmpty()) << "asked again";
    EXPECT_FALSE(window_named("^Untitled - ").isEmpty());
    ::kill(pid_t(second->processId()), SIGHUP);
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(second->exitCode(), SIGHUP);
    files << "older.tpg";
    files.sort();
    EXPECT_EQ(files_in(folder), files);
}

// While no copy can be kept, the status bar says why, and a dialog says so
// the first time; the warning goes when copies can be written again.
TEST(Recovery, TheWindowSaysWhenChangesCannotBeKept) {
    const QString folder = RecoveryCopy::default_folder();
    QDir().mkpath(folder);
    TFormMain form;
    form.ask_unsaved = [](const QString&) { return QMessageBox::Discard; };
    QStringList told;
    form.tell_unsafe_changes = [&](const QString& trouble) { told << trouble; };
    const QString trouble = "others may write in the recovery folder \"" + folder + "\"";
    for (const int mode : {0x7777, 0x7000, 0x7777}) {
        QFile::setPermissions(folder, QFile::Permissions(mode));
        form.document().click_button(1);
        const QString shown = mode == 0x7000 ? "" : "unsaved changes cannot be kept safe: " + trouble;
        EXPECT_TRUE(x11test::WaitFor([&] { return form.StatusRecovery->isVisibleTo(&form) == !shown.isEmpty(); }));
        EXPECT_TRUE(shown.isEmpty() || form.StatusRecovery->text() == shown);
    }
    QFile::setPermissions(folder, QFile::Permissions(0x7000));
    EXPECT_EQ(told, QStringList{trouble});
}
