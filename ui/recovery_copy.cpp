#include "ui/recovery_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUndoStack>
#include <QUuid>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "io/file_io.h"
#include "program/program_file.h"
#include "ui/path_bytes.h"
#include "ui/program_document.h"
#include "ui/recovery_folder.h"

namespace dozu {

namespace {

// The .name file: what the copy is a copy of. Editors before this one wrote
// the name alone.
constexpr char kRecordHead[] = "dozu recovery copy\n";
constexpr size_t kMaxRecordSize = 64 * 1024;
constexpr unsigned kPrivate = 0600;

std::string encode_record(const std::string& name, const std::optional<FileFingerprint>& file) {
    std::string record = kRecordHead;
    if (file)
        record += "size " + std::to_string(file->size) + "\nmodified " + std::to_string(file->modified_ns) +
                  "\nblake2b " + file->hash + "\n";
    // Last, as the bytes it has to the end: a name may hold a line break.
    return record + "name " + name;
}

void decode_record(const std::vector<uint8_t>& bytes, LeftCopy& copy) {
    const std::string text(bytes.begin(), bytes.end());
    if (text.rfind(kRecordHead, 0) != 0) {
        copy.file_name = path_from_bytes(text);
        return;
    }
    FileFingerprint file;
    int known = 0;
    const std::string_view all(text);
    for (size_t at = sizeof kRecordHead - 1; at < all.size();) {
        if (all.substr(at, 5) == "name ") {
            copy.file_name = path_from_bytes(all.substr(at + 5));
            break;
        }
        const size_t end = std::min(all.find('\n', at), all.size());
        const std::string_view line = all.substr(at, end - at);
        const size_t space = std::min(line.find(' '), line.size());
        const std::string_view key = line.substr(0, space), value = line.substr(std::min(space + 1, line.size()));
        const auto number = [&](auto& out) {
            known += std::from_chars(value.data(), value.data() + value.size(), out).ec == std::errc();
        };
        if (key == "size") number(file.size);
        if (key == "modified") number(file.modified_ns);
        if (key == "blake2b") file.hash = std::string(value), ++known;
        at = end + 1;
    }
    if (known == 3) copy.file = file;
}

// A message of the file layer, its path's bytes shown as a window shows a
// name.
QString shown_message(const std::exception& e) { return shown_path(path_from_bytes(e.what())); }

}  // namespace

// Writes and removes the copy on a thread of its own. Only the newest
// request waits: a write asked for while another is under way replaces
// any earlier one still waiting. Each write's outcome is reported.
class RecoveryCopy::Writer {
public:
    struct Job {
        bool remove = false;
        int folder = -1;
        CommandTable table;
        std::string record;
    };

    Writer(Program& program, std::string folder_path, const std::string& id, std::function<void()> reported)
        : program_(program),
          folder_path_(std::move(folder_path)),
          copy_name_(id + ".tpg"),
          record_name_(id + ".name"),
          reported_(std::move(reported)),
          thread_([this] { run(); }) {}

    ~Writer() {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void ask_write(int folder, const CommandTable& table, std::string record) {
        ask(Job{false, folder, table, std::move(record)});
    }
    void ask_remove(int folder) { ask(Job{true, folder, {}, {}}); }

    // False when the time (-1: none) ran out first.
    bool wait_until_idle(int wait_ms) {
        std::unique_lock<std::mutex> hold(mutex_);
        const auto idle = [this] { return !next_ && !busy_; };
        if (wait_ms < 0) return idle_.wait(hold, idle), true;
        return idle_.wait_for(hold, std::chrono::milliseconds(wait_ms), idle);
    }

    // What the last write finished since the last call had to say: empty
    // when it went well; nullopt when none finished.
    std::optional<std::string> take_report() {
        const std::lock_guard<std::mutex> hold(mutex_);
        return std::exchange(report_, std::nullopt);
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
            const std::optional<std::string> report = carry_out(job);
            hold.lock();
            if (report) report_ = report;
            busy_ = false;
            idle_.notify_all();
            if (report) {
                hold.unlock();
                reported_();
                hold.lock();
            }
        }
    }

    std::optional<std::string> carry_out(const Job& job) {
        if (job.remove) {
            // The copy first: a name without a copy is never offered.
            ::unlinkat(job.folder, copy_name_.c_str(), 0);
            ::unlinkat(job.folder, record_name_.c_str(), 0);
            return std::nullopt;
        }
        try {
            // The steps change only under the program lock, so they are
            // copied under it; the table belongs to the window's thread,
            // which sent its own copy.
            const std::vector<uint8_t> steps = steps_copy();
            const auto put = [](const std::string& bytes) {
                return [&bytes](ByteSink& sink) { sink.write(bytes.data(), bytes.size()); };
            };
            write_file_in(job.folder, record_name_, folder_path_ + "/" + record_name_, kPrivate, put(job.record));
            const std::vector<uint8_t> file = encode_program_file(job.table, steps);
            write_file_in(job.folder, copy_name_, folder_path_ + "/" + copy_name_, kPrivate,
                          [&](ByteSink& sink) { sink.write(file.data(), file.size()); });
            return std::string();
        } catch (const std::exception& e) {
            // A full disk must not end the editor: the window says so, and
            // the next change tries again.
            return std::string(e.what());
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
    const std::string folder_path_, copy_name_, record_name_;
    std::function<void()> reported_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<Job> next_;
    std::optional<std::string> report_;
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
      folder_path_(folder),
      id_(QUuid::createUuid().toString(QUuid::Id128).toStdString()),
      writer_(std::make_unique<Writer>(document.program(), path_bytes(folder), id_, [this] {
          QMetaObject::invokeMethod(this, &RecoveryCopy::take_report, Qt::QueuedConnection);
      })) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, &RecoveryCopy::write);
    QUndoStack* undo = document_.undo_stack();
    connect(undo, &QUndoStack::indexChanged, this, &RecoveryCopy::document_changed);
    connect(undo, &QUndoStack::cleanChanged, this, &RecoveryCopy::document_changed);
    connect(&document_, &ProgramDocument::replaced, this, &RecoveryCopy::document_changed);
    connect(&document_, &ProgramDocument::file_changed, this, &RecoveryCopy::file_changed);
    connect(&document_, &ProgramDocument::file_changed, this, &RecoveryCopy::document_changed);
}

RecoveryCopy::~RecoveryCopy() {
    delay_.stop();
    if (has_copy_) writer_->ask_remove(folder_->fd());
    // The writer finishes what it was asked for before it ends.
    writer_.reset();
    let_go_left_copies();
    if (own_lock_) own_lock_->remove();
}

QString RecoveryCopy::copy_path() const { return folder_path_ + "/" + QString::fromStdString(id_) + ".tpg"; }

bool RecoveryCopy::open_own() {
    try {
        if (!folder_) folder_ = std::make_unique<RecoveryFolder>(path_bytes(folder_path_));
        if (const std::string problem = folder_->problem(); !problem.empty()) throw FileError(problem);
        if (!own_lock_) own_lock_ = folder_->lock_new(id_);
        return true;
    } catch (const FileError& e) {
        set_trouble(shown_message(e));
        return false;
    }
}

void RecoveryCopy::document_changed() {
    if (document_.undo_stack()->isClean()) {
        delay_.stop();
        if (has_copy_) writer_->ask_remove(folder_->fd());
        has_copy_ = false;
        // Nothing is left to keep.
        set_trouble({});
    } else if (!delay_.isActive()) {
        delay_.start();
    }
}

void RecoveryCopy::file_changed() {
    if (restoring_) return;
    const QString& file = document_.file_name();
    base_.reset();
    if (!file.isEmpty() && document_.undo_stack()->isClean())
        base_ = fingerprint_of(path_bytes(file), kMaxProgramFileSize);
}

std::string RecoveryCopy::record() const { return encode_record(path_bytes(document_.file_name()), base_); }

void RecoveryCopy::write() {
    if (document_.undo_stack()->isClean() || !open_own()) return;
    has_copy_ = true;
    writer_->ask_write(folder_->fd(), document_.program().table, record());
}

void RecoveryCopy::take_report() {
    const std::optional<std::string> report = writer_->take_report();
    if (!report || document_.undo_stack()->isClean()) return;
    set_trouble(report->empty() ? QString() : shown_path(path_from_bytes(*report)));
}

void RecoveryCopy::set_trouble(const QString& trouble) {
    if (trouble == trouble_) return;
    trouble_ = trouble;
    emit trouble_changed(trouble_);
}

bool RecoveryCopy::write_now(int wait_ms) {
    if (document_.undo_stack()->isClean()) return true;
    delay_.stop();
    write();
    const bool done = writer_->wait_until_idle(wait_ms);
    take_report();
    return done && trouble_.isEmpty();
}

void RecoveryCopy::end_now(int wait_ms) {
    if (!document_.undo_stack()->isClean()) {
        delay_.stop();
        write();
    }
    // A write still under way keeps the lock, which goes with the process.
    if (!writer_->wait_until_idle(wait_ms)) return;
    let_go_left_copies();
    if (own_lock_) own_lock_->remove();
}

bool RecoveryCopy::file_changed_on_disk() const {
    const QString& file = document_.file_name();
    return base_ && !file.isEmpty() && changed_since(path_bytes(file), *base_);
}

std::vector<LeftCopy> RecoveryCopy::take_left_copies() {
    std::vector<LeftCopy> copies;
    notes_.clear();
    try {
        if (!folder_) folder_ = std::make_unique<RecoveryFolder>(path_bytes(folder_path_));
    } catch (const FileError&) {
        // Nothing to offer: the first change says why no copy is kept.
        return copies;
    }
    RecoveryFolder::LeftIds left = folder_->take_left(id_);
    for (const std::string& note : left.notes) notes_ << shown_path(path_from_bytes(note));
    for (auto& [id, lock] : left.copies) {
        LeftCopy copy{path_from_bytes(id), {}, {}};
        const std::string name = id + ".name";
        struct stat st;
        if (::fstatat(folder_->fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            try {
                decode_record(read_file_in(folder_->fd(), name, folder_->path_of(name), kMaxRecordSize), copy);
            } catch (const FileError& e) {
                notes_ << shown_path(path_from_bytes(folder_->set_aside(name, e.what())));
            }
        }
        left_[copy.id] = std::move(lock);
        copies.push_back(copy);
    }
    return copies;
}

void RecoveryCopy::restore(const LeftCopy& copy) {
    const std::string id = path_bytes(copy.id);
    if (!folder_ || !left_.count(copy.id)) throw FileError("the recovery copy " + id + " is not held");
    const std::vector<uint8_t> bytes =
        read_file_in(folder_->fd(), id + ".tpg", folder_->path_of(id + ".tpg"), kMaxProgramFileSize);
    restoring_ = true;
    try {
        document_.restore(bytes, copy.file_name);
    } catch (...) {
        restoring_ = false;
        throw;
    }
    restoring_ = false;
    base_ = copy.file;
    // The loaded program is this editor's now, and so is its copy: taken
    // over whole, its name first, so that it is never missing.
    writer_->wait_until_idle(-1);
    std::unique_ptr<FolderLock> lock = std::move(left_[copy.id]);
    left_.erase(copy.id);
    try {
        if (!open_own()) return;
        write_file_in(folder_->fd(), id_ + ".name", folder_->path_of(id_ + ".name"), kPrivate,
                      [record = record()](ByteSink& sink) { sink.write(record.data(), record.size()); });
        if (!folder_->rename(id + ".tpg", id_ + ".tpg")) return;
    } catch (const FileError&) {
        // The copy stays as it was, and this editor writes its own.
        return;
    }
    has_copy_ = true;
    folder_->remove(id + ".name");
    lock->remove();
}

void RecoveryCopy::discard(const LeftCopy& copy) {
    const auto held = left_.find(copy.id);
    if (held == left_.end()) return;
    const std::string id = path_bytes(copy.id);
    folder_->remove(id + ".tpg");
    folder_->remove(id + ".name");
    held->second->remove();
    left_.erase(held);
}

void RecoveryCopy::let_go_left_copies() {
    for (auto& [id, lock] : left_) lock->remove();
    left_.clear();
}

QString restore_question(const LeftCopy& copy) {
    const QString name = copy.file_name.isEmpty() ? "the new program" : shown_file_name(copy.file_name);
    return QString("dozu quit unexpectedly while %1 had unsaved changes. Restore them?").arg(name);
}

RestoreAnswer ask_restore(QWidget* parent, const QString& caption, const LeftCopy& copy) {
    QMessageBox box(QMessageBox::Question, caption, restore_question(copy), QMessageBox::NoButton, parent);
    QPushButton* restore = box.addButton("Restore", QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    // Escape and the window's close button answer with this one, unseen.
    QPushButton* later = box.addButton("Later", QMessageBox::RejectRole);
    later->hide();
    box.setEscapeButton(later);
    box.setDefaultButton(restore);
    box.exec();
    if (box.clickedButton() == restore) return RestoreAnswer::restore;
    if (box.clickedButton() == discard) return RestoreAnswer::discard;
    return RestoreAnswer::later;
}

}  // namespace dozu
