// The recovery copy of a program with unsaved changes: its .tpg file, table
// and all, in the user's data folder, written atomically on a thread of its
// own a moment after a change (and never more often), removed when the
// program is saved or the editor ends cleanly. Each editor's copy is its
// own, under a lock that holds while the editor runs, so two editors never
// take each other's copy; a copy whose editor ended without removing it
// (killed, a crash, a power cut) is left for the next editor to offer. Beside
// the copy is what it is a copy of: the program's file, and what that file
// held, so that a save can tell whether another program changed it since.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/file_fingerprint.h"

class QWidget;

namespace dozu {

class FolderLock;
class ProgramDocument;
class RecoveryFolder;

// A copy that an editor no longer running left behind.
struct LeftCopy {
    QString id;         // its name in the folder
    QString file_name;  // the program's own file; empty for a new program
    // What that file held when the program was loaded from it or saved to
    // it; nullopt when not known.
    std::optional<FileFingerprint> file;
};

enum class RestoreAnswer { restore, discard, later };

// "dozu quit unexpectedly while chain.tpg had unsaved changes. Restore
// them?" with Restore (the default) and Discard; closing the question
// (Escape, the window's close button) keeps the copy for the next start.
RestoreAnswer ask_restore(QWidget* parent, const QString& caption, const LeftCopy& copy);
QString restore_question(const LeftCopy& copy);

class RecoveryCopy : public QObject {
    Q_OBJECT

public:
    // How long after a change the copy is written, at most once in this
    // time.
    static constexpr int kDelayMs = 1500;
    // How long the copy may take when the editor is asked to end.
    static constexpr int kEndWaitMs = 4000;
    // "recovery" in the user's data folder.
    static QString default_folder();

    // The document must outlive the copy.
    explicit RecoveryCopy(ProgramDocument& document, const QString& folder = default_folder(),
                          QObject* parent = nullptr);
    // A clean end: the copy goes, and the left copies not restored or
    // discarded are let go.
    ~RecoveryCopy() override;

    // The copies left by editors no longer running, newest first; each is
    // held for this editor until it is restored, discarded or let go. What
    // those editors left besides goes; notes() says what was set aside.
    std::vector<LeftCopy> take_left_copies();
    const QStringList& notes() const { return notes_; }
    // Loads a left copy into the document as the changed program it was,
    // and makes it this editor's copy. Throws FileError or ProgramTooLarge,
    // and the copy stays where it was.
    void restore(const LeftCopy& copy);
    void discard(const LeftCopy& copy);
    // The left copies not restored or discarded, for the next editor.
    void let_go_left_copies();

    // Writes the copy of unsaved changes now, waiting for it at most the
    // given time; true when it was written or there is nothing to keep.
    bool write_now(int wait_ms);
    // Before an end that is not clean (a signal): writes the copy as
    // write_now does, then gives up this editor's lock, so that only the
    // copy is left.
    void end_now(int wait_ms);

    // Why unsaved changes cannot be kept, one line; empty when they can.
    const QString& trouble() const { return trouble_; }
    // Whether another program changed the program's file since the program
    // was loaded from it or saved to it; false when that is not known.
    bool file_changed_on_disk() const;

    // This editor's copy.
    QString copy_path() const;

signals:
    void trouble_changed(const QString& trouble);

private:
    class Writer;

    bool open_own();
    void document_changed();
    void file_changed();
    void write();
    void take_report();
    void set_trouble(const QString& trouble);
    std::string record() const;

    ProgramDocument& document_;
    QString folder_path_;
    std::string id_;
    std::unique_ptr<RecoveryFolder> folder_;
    std::unique_ptr<FolderLock> own_lock_;
    std::map<QString, std::unique_ptr<FolderLock>> left_;
    QStringList notes_;
    std::optional<FileFingerprint> base_;
    QString trouble_;
    QTimer delay_;
    bool has_copy_ = false;
    bool restoring_ = false;
    std::unique_ptr<Writer> writer_;
};

}  // namespace dozu
