// The recovery folder as others may leave it: folders that are not the
// user's alone, files that are not what their names say, the leftovers of
// killed editors, a disk that is full. Each row's editor runs in a process of
// its own (as nobody where a row needs a second user), so that one that
// hangs ends by its alarm rather than the test.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>

#include "support/temp_dir.h"
#include "ui/path_bytes.h"
#include "ui/program_document.h"
#include "ui/recovery_copy.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

constexpr uid_t kNobody = 65534;

void replace_all(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at; !what.empty() && (at = text.find(what)) != std::string::npos;)
        text.replace(at, what.size(), with);
}

// An editor's start on the folder, in a process of its own: the left copies
// it offers (their files' names); then it lets them go, keeps a change and
// says why it cannot (with small_files, once more when files may be large
// again); then its notes, and a clean end. The folder is "F" in what it
// says, its own id "ID".
std::string run_editor(const std::string& folder, bool as_nobody, bool small_files) {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(20);
        if (as_nobody && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(3);
        std::string said;
        ProgramDocument document;
        {
            RecoveryCopy copy(document, path_from_bytes(folder));
            for (const LeftCopy& left : copy.take_left_copies()) said += "[" + path_bytes(left.file_name) + "]";
            copy.let_go_left_copies();
            document.click_button(1);
            const rlimit small{100, RLIM_INFINITY}, large{RLIM_INFINITY, RLIM_INFINITY};
            if (small_files) std::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &small);
            copy.write_now(5000);
            said += "\n" + copy.trouble().toStdString();
            if (small_files) {
                ::setrlimit(RLIMIT_FSIZE, &large);
                document.click_button(2);
                copy.write_now(5000);
                said += " | then " + copy.trouble().toStdString();
            }
            for (const QString& note : std::set<QString>(copy.notes().begin(), copy.notes().end()))
                said += "\n" + note.toStdString();
            replace_all(said, QFileInfo(copy.copy_path()).completeBaseName().toStdString(), "ID");
        }
        replace_all(said, folder, "F");
        ::_exit(::write(out[1], said.data(), said.size()) == ssize_t(said.size()) ? 0 : 4);
    }
    ::close(out[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status == 0 ? said : "ended with status " + std::to_string(status);
}

// The folder's mode and names, or what it is instead.
std::string folder_state(const std::string& folder) {
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) return "missing";
    if (!S_ISDIR(st.st_mode)) return "not a folder";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", unsigned(st.st_mode & 07777));
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    std::string state = mode;
    for (const std::string& name : names) state += " " + name;
    return state;
}

void folder(const std::string& path, mode_t mode, uid_t owner = ::geteuid()) {
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), mode);
    if (::chown(path.c_str(), owner, owner) != 0) ADD_FAILURE() << "chown " << path;
}

void file(const std::string& path, const std::string& text) { write_bytes(path, {text.begin(), text.end()}); }

}  // namespace

TEST(RecoveryCopy, HostileFoldersAndFiles) {
    TempDir temp;
    ::chmod(temp.path().c_str(), 0755);
    const std::string victim = temp / "victim.txt";
    file(victim, "the victim's notes");
    const bool root = ::geteuid() == 0;
    int live_lock = -1;
    const std::string copy = "\x01\x02\x03\x04";  // steps alone: a program file with the default table

    struct Row {
        const char* what;
        std::function<void(const std::string& folder)> plant;
        std::string said, left;
        bool as_nobody = false, small_files = false, needs_root = false;
    };
    const std::vector<Row> rows = {
        {"a new folder", [](const std::string&) {}, "\n", "700"},
        {"others may write", [](const std::string& f) { folder(f, 0777); },
         "\nothers may write in the recovery folder \"F\"", "777"},
        {"another user's folder", [](const std::string& f) { folder(f, 0700, kNobody); },
         "\nthe recovery folder \"F\" belongs to another user", "700", false, false, true},
        {"a read-only folder", [](const std::string& f) { folder(f, 0500, kNobody); },
         "\ncannot write in the recovery folder \"F\": Permission denied", "500", true},
        {"a file in its place", [](const std::string& f) { file(f, ""); },
         "\nthe recovery folder \"F\" is not a folder", "not a folder"},
        {"a full disk", [](const std::string&) {}, "\ncannot write \"F/ID.tpg\": File too large | then ", "700",
         false, true},
        {"copies that are not regular files",
         [&](const std::string& f) {
             folder(f, 0700);
             std::filesystem::create_symlink(victim, f + "/x.tpg");
             file(f + "/x.name", "/home/victim/notes.tpg");
             ::mkfifo((f + "/y.tpg").c_str(), 0600);
             std::filesystem::create_directory(f + "/z.tpg");
         },
         "\n\n\"F/x.tpg\" is not a regular file; set aside as x.tpg.set-aside"
         "\n\"F/y.tpg\" is not a regular file; set aside as y.tpg.set-aside"
         "\n\"F/z.tpg\" is not a regular file; set aside as z.tpg.set-aside",
         "700 x.tpg.set-aside y.tpg.set-aside z.tpg.set-aside"},
        {"names and locks that are not small regular files",
         [&](const std::string& f) {
             folder(f, 0700);
             for (const char* id : {"a", "b", "c", "d", "e"}) file(f + "/" + id + ".tpg", copy);
             std::filesystem::create_symlink("/dev/zero", f + "/a.name");
             ::mkfifo((f + "/b.name").c_str(), 0600);
             std::filesystem::resize_file((file(f + "/c.name", ""), f + "/c.name"), 1 << 30);
             std::filesystem::create_symlink("/dev/zero", f + "/d.lock");
             ::mkfifo((f + "/e.lock").c_str(), 0600);
         },
         "[][][][][]\n"
         "\n\"F/a.name\" is not a regular file; set aside as a.name.set-aside"
         "\n\"F/b.name\" is not a regular file; set aside as b.name.set-aside"
         "\n\"F/c.name\" is larger than 65536 bytes; set aside as c.name.set-aside"
         "\n\"F/d.lock\" is not a regular file; set aside as d.lock.set-aside"
         "\n\"F/e.lock\" is not a regular file; set aside as e.lock.set-aside",
         "700 a.name.set-aside a.tpg b.name.set-aside b.tpg c.name.set-aside c.tpg d.lock.set-aside d.tpg "
         "e.lock.set-aside e.tpg"},
        {"leftovers of killed editors, and a live one's files",
         [&](const std::string& f) {
             folder(f, 0700);
             for (const char* name :
                  {".f.tpg.abcdefgh", "g.name", "g.lock", ".h.tpg.abcdefgh", "i.lock", ".i.name.abcdefgh"})
                 file(f + "/" + name, "");
             live_lock = ::open((f + "/h.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
             ::flock(live_lock, LOCK_EX);
             file(f + "/i.tpg", copy);
             file(f + "/i.name", "/p/caf\xe9.tpg");  // as editors before wrote it, a name not UTF-8
         },
         "[/p/caf\xe9.tpg]\n", "700 .h.tpg.abcdefgh h.lock i.name i.tpg"},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if ((row.as_nobody || row.needs_root) && !root) continue;
        const std::string data = temp / ("data" + std::to_string(i));
        const std::string recovery = data + "/dozu/recovery";
        std::filesystem::create_directories(data + "/dozu");
        row.plant(recovery);
        EXPECT_EQ(run_editor(recovery, row.as_nobody, row.small_files), row.said) << row.what;
        EXPECT_EQ(folder_state(recovery), row.left) << row.what;
    }
    EXPECT_EQ(read_text(victim), "the victim's notes");
    ::close(live_lock);
}
