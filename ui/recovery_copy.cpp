#include "ui/recovery_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUndoStack>
#include <QUuid>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "io/file_io.h"
#include "program/program_file.h"
#include "ui/program_document.h"

namespace dozu {

namespace {

std::string path_bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

// Writes and removes the copy on a thread of its own. Only the newest
// request waits: a write asked for while another is under way replaces
// any earlier one still waiting.
class RecoveryCopy::Writer {
public:
    struct Job {
        bool remove = false;
        CommandTable table;
        std::string name;  // the program's own file, UTF-8
    };

    Writer(Program& program, std::string program_path, std::string name_path)
        : program_(program),
          program_path_(std::move(program_path)),
          name_path_(std::move(name_path)),
          thread_([this] { run(); }) {}

    ~Writer() {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void ask_write(const CommandTable& table, std::string name) { ask(Job{false, table, std::move(name)}); }
    void ask_remove() { ask(Job{true, {}, {}}); }

    void wait_until_idle() {
        std::unique_lock<std::mutex> hold(mutex_);
        idle_.wait(hold, [this] { return !next_ && !busy_; });
    }

private:
    void ask(Job job) {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            next_ = std::move(job);
        }
        wake_.notify_all();
    }

    void run() {
        std::unique_lock<std::mutex> hold(mutex_);
        for (;;) {
            wake_.wait(hold, [this] { return stop_ || next_; });
            // Whatever was asked for before the end is still done.
            if (!next_) return;
            Job job = std::move(*next_);
            next_.reset();
            busy_ = true;
            hold.unlock();
            carry_out(job);
            hold.lock();
            busy_ = false;
            idle_.notify_all();
        }
    }

    void carry_out(const Job& job) {
        try {
            if (job.remove) {
                std::remove(program_path_.c_str());
                std::remove(name_path_.c_str());
                return;
            }
            // The steps change only under the program lock, so they are
            // copied under it; the table belongs to the window's thread,
            // which sent its own copy.
            const std::vector<uint8_t> steps = steps_copy();
            write_file_atomic(name_path_, job.name);
            write_file_atomic(program_path_, encode_program_file(job.table, steps));
        } catch (const std::exception& e) {
            // A full disk must not end the editor: the next change tries
            // again.
            std::fprintf(stderr, "dozu: recovery copy: %s\n", e.what());
        }
    }

    std::vector<uint8_t> steps_copy() {
        struct Locked {
            explicit Locked(Program& program) : program(program) { program.LockProgram(); }
            ~Locked() { program.UnlockProgram(); }
            Program& program;
        } locked(program_);
        return program_.steps();
    }

    Program& program_;
    const std::string program_path_, name_path_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<Job> next_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

QString RecoveryCopy::default_folder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/recovery";
}

RecoveryCopy::RecoveryCopy(ProgramDocument& document, const QString& folder, QObject* parent)
    : QObject(parent),
      document_(document),
      folder_(folder),
      id_(QUuid::createUuid().toString(QUuid::Id128)),
      writer_(std::make_unique<Writer>(document.program(), path_bytes(path(id_, ".tpg")),
                                       path_bytes(path(id_, ".name")))) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, &RecoveryCopy::write);
    QUndoStack* undo = document_.undo_stack();
    connect(undo, &QUndoStack::indexChanged, this, &RecoveryCopy::document_changed);
    connect(undo, &QUndoStack::cleanChanged, this, &RecoveryCopy::document_changed);
    connect(&document_, &ProgramDocument::replaced, this, &RecoveryCopy::document_changed);
    connect(&document_, &ProgramDocument::file_changed, this, &RecoveryCopy::document_changed);
}

RecoveryCopy::~RecoveryCopy() {
    delay_.stop();
    if (has_copy_) writer_->ask_remove();
    // The writer finishes what it was asked for before it ends.
    writer_.reset();
    own_lock_.reset();
}

QString RecoveryCopy::path(const QString& id, const char* suffix) const { return folder_ + "/" + id + suffix; }

bool RecoveryCopy::lock_own() {
    if (own_lock_) return true;
    if (!QDir().mkpath(folder_)) return false;
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto lock = std::make_unique<QLockFile>(path(id_, ".lock"));
    if (!lock->tryLock(0)) return false;
    own_lock_ = std::move(lock);
    return true;
}

void RecoveryCopy::document_changed() {
    if (document_.undo_stack()->isClean()) {
        delay_.stop();
        if (has_copy_) writer_->ask_remove();
        has_copy_ = false;
    } else if (!delay_.isActive()) {
        delay_.start();
    }
}

void RecoveryCopy::write() {
    if (document_.undo_stack()->isClean() || !lock_own()) return;
    has_copy_ = true;
    writer_->ask_write(document_.program().table, document_.file_name().toStdString());
}

std::vector<LeftCopy> RecoveryCopy::take_left_copies() {
    std::vector<LeftCopy> copies;
    const QFileInfoList files = QDir(folder_).entryInfoList({"*.tpg"}, QDir::Files, QDir::Time);
    for (const QFileInfo& file : files) {
        const QString id = file.completeBaseName();
        if (id == id_ || left_.count(id)) continue;
        auto lock = std::make_unique<QLockFile>(path(id, ".lock"));
        // Only a lock whose editor is gone is taken; however old a live
        // editor's lock is, it is not.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) continue;
        QFile name(path(id, ".name"));
        LeftCopy copy{id, {}};
        if (name.open(QIODevice::ReadOnly)) copy.file_name = QString::fromUtf8(name.readAll());
        left_[id] = std::move(lock);
        copies.push_back(copy);
    }
    return copies;
}

void RecoveryCopy::restore(const LeftCopy& copy) {
    document_.restore(path(copy.id, ".tpg"), copy.file_name);
    // The loaded program is this editor's now, and so is its copy: taken
    // over whole, so that it is never missing.
    writer_->wait_until_idle();
    if (lock_own() && QFile::rename(path(copy.id, ".tpg"), copy_path())) {
        QFile::remove(path(id_, ".name"));
        QFile::rename(path(copy.id, ".name"), path(id_, ".name"));
        has_copy_ = true;
        left_.erase(copy.id);
    }
}

void RecoveryCopy::discard(const LeftCopy& copy) {
    QFile::remove(path(copy.id, ".tpg"));
    QFile::remove(path(copy.id, ".name"));
    left_.erase(copy.id);
}

void RecoveryCopy::let_go_left_copies() { left_.clear(); }

QString restore_question(const LeftCopy& copy) {
    const QString name = copy.file_name.isEmpty() ? "the new program" : QFileInfo(copy.file_name).fileName();
    return QString("dozu quit unexpectedly while %1 had unsaved changes. Restore them?").arg(name);
}

RestoreAnswer ask_restore(QWidget* parent, const QString& caption, const LeftCopy& copy) {
    QMessageBox box(QMessageBox::Question, caption, restore_question(copy), QMessageBox::NoButton, parent);
    QPushButton* restore = box.addButton("Restore", QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    box.setDefaultButton(restore);
    box.exec();
    if (box.clickedButton() == restore) return RestoreAnswer::restore;
    if (box.clickedButton() == discard) return RestoreAnswer::discard;
    return RestoreAnswer::later;
}

}  // namespace dozu
