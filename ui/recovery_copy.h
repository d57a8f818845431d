// The recovery copy of a program with unsaved changes: its .tpg file, table
// and all, in the user's data folder, written atomically on a thread of its
// own a moment after a change (and never more often), removed when the
// program is saved or the editor ends cleanly. Each editor's copy is its
// own, under a lock file that holds while the editor runs, so two editors
// never take each other's copy; a copy whose editor ended without removing
// it (killed, a crash, a power cut) is left for the next editor to offer.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

class QLockFile;
class QWidget;

namespace dozu {

class ProgramDocument;

// A copy that an editor no longer running left behind.
struct LeftCopy {
    QString id;         // its name in the folder
    QString file_name;  // the program's own file; empty for a new program
};

enum class RestoreAnswer { restore, discard, later };

// "dozu quit unexpectedly while chain.tpg had unsaved changes. Restore
// them?" with Restore (the default) and Discard; closing the question
// keeps the copy for the next start.
RestoreAnswer ask_restore(QWidget* parent, const QString& caption, const LeftCopy& copy);
QString restore_question(const LeftCopy& copy);

class RecoveryCopy : public QObject {
public:
    // How long after a change the copy is written, at most once in this
    // time.
    static constexpr int kDelayMs = 1500;
    // "recovery" in the user's data folder.
    static QString default_folder();

    // The document must outlive the copy.
    explicit RecoveryCopy(ProgramDocument& document, const QString& folder = default_folder(),
                          QObject* parent = nullptr);
    // A clean end: the copy goes, and the left copies not restored or
    // discarded are let go.
    ~RecoveryCopy() override;

    // The copies left by editors no longer running, newest first; each is
    // held for this editor until it is restored, discarded or let go.
    std::vector<LeftCopy> take_left_copies();
    // Loads a left copy into the document as the changed program it was,
    // and makes it this editor's copy. Throws FileError or ProgramTooLarge,
    // and the copy stays where it was.
    void restore(const LeftCopy& copy);
    void discard(const LeftCopy& copy);
    // The left copies not restored or discarded, for the next editor.
    void let_go_left_copies();

    // This editor's copy.
    QString copy_path() const { return path(id_, ".tpg"); }

private:
    class Writer;

    QString path(const QString& id, const char* suffix) const;
    bool lock_own();
    void document_changed();
    void write();

    ProgramDocument& document_;
    QString folder_;
    QString id_;
    std::unique_ptr<QLockFile> own_lock_;
    std::map<QString, std::unique_ptr<QLockFile>> left_;
    QTimer delay_;
    bool has_copy_ = false;
    std::unique_ptr<Writer> writer_;
};

}  // namespace dozu
