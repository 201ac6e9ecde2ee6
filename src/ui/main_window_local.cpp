// The main window's part of local playback: the local search dialog and
// the start of a playback from it.

#include "archive/archive_writer.h"
#include "ui/dialogs/local_search_dialog.h"
#include "ui/main_window.h"

namespace kalix::ui {

LocalSearchDialog* MainWindow::localSearchDialog() const {
    return static_cast<LocalSearchDialog*>(local_search_.data());
}

bool MainWindow::startLocalPlaybackAt(protocol::RecorderTime t) { return controller_->startLocalPlayback(t); }

void MainWindow::openLocalSearch() {
    if (local_search_) {
        local_search_->show();
        local_search_->raise();
        return;
    }
    LocalSearchDeps deps;
    deps.location = settings_.location;
    deps.archive_folder = localArchiveFolder();
    deps.date_format = settings_.date_format;
    deps.opacity = settings_.alpha(app::OpacitySlot::RemoteSearch);
    deps.start_local_playback = [this](protocol::RecorderTime t) { return startLocalPlaybackAt(t); };
    auto* dialog = new LocalSearchDialog(std::move(deps), this);
    connect(dialog, &LocalSearchDialog::noticeRequested, this,
            [this](session::Notice notice) { controller_->requestNotice(notice); });
    local_search_ = dialog;
    dialog->centreOn(this);
    dialog->show();
}

}  // namespace kalix::ui
