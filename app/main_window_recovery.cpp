// The main window's part in keeping unsaved changes: its start (the left
// changes offered, then the file asked for), its end by a signal, the
// warning while no copy can be kept, and the question before a save
// replaces a file that another program changed.
#include <QDeadlineTimer>
#include <QLabel>
#include <QTimer>

#include "app/main_window.h"
#include "ui/path_bytes.h"

namespace dozu {

namespace {

// A window that never shows (minimised, say) does not hold the start up
// for longer.
constexpr int kDrawnWaitMs = 10000;
constexpr int kDrawnPollMs = 25;

}  // namespace

void TFormMain::start(const QString& file) {
    when_drawn([this, file] {
        const bool restored = restore_left_programs();
        if (file.isEmpty()) return;
        if (!restored) {
            load_file(file);
            return;
        }
        // The question about the restored changes comes with them drawn.
        when_drawn([this, file] { open_file(file); });
    });
}

void TFormMain::when_drawn(const std::function<void()>& next) {
    auto* poll = new QTimer(this);
    const QDeadlineTimer deadline(kDrawnWaitMs);
    connect(poll, &QTimer::timeout, this, [this, poll, deadline, next] {
        const bool drawn = !document_.program().changed() && !running() && !picture_changed_;
        if (!drawn && !deadline.hasExpired()) return;
        // Before next, whose questions run the event loop.
        poll->stop();
        poll->deleteLater();
        next();
    });
    poll->start(kDrawnPollMs);
}

void TFormMain::keep_changes_for_end() { recovery_->end_now(RecoveryCopy::kEndWaitMs); }

void TFormMain::show_recovery_trouble(const QString& trouble) {
    StatusRecovery->setVisible(!trouble.isEmpty());
    if (trouble.isEmpty()) return;
    const QString text = "unsaved changes cannot be kept safe: " + trouble;
    StatusRecovery->setText(text);
    StatusRecovery->setToolTip(text);
    if (!told_unsafe_) {
        told_unsafe_ = true;
        tell_unsafe_changes(trouble);
    }
}

bool TFormMain::may_replace_file() {
    if (!recovery_->file_changed_on_disk()) return true;
    return ask_to_go_on(QString("\"%1\" has changed on disk since the program was loaded from it or saved to it: "
                                "another program has written it.\n\n"
                                "Save over it? What that program wrote is lost. (No keeps it: Save As saves the "
                                "program under another name.)")
                            .arg(shown_file_name(document_.file_name())));
}

}  // namespace dozu
