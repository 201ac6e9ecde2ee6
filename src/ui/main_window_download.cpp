// The main window's part of a download: the Backup page's size answer, the
// progress window that the writer's posts open, move and close, and the
// message at an end the operator has to hear of.

#include "ui/dialogs/backup_page_widget.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/main_window.h"

namespace kalix::ui {

void MainWindow::onDownloadEvent(const session::Event& event) {
    if (std::holds_alternative<session::DownloadSize>(event)) {
        if (RemoteSearchDialog* dialog = remoteSearchDialog()) dialog->handle(event);
        return;
    }
    if (const auto* ended = std::get_if<session::DownloadEnded>(&event)) {
        const std::string message = app::downloadEndText(*ended);
        if (!message.empty()) showMessageBox(message);
        return;
    }
    const auto* post = std::get_if<session::WindowPost>(&event);
    if (post == nullptr || post->message < session::WindowMessage::ProgressOpen ||
        post->message > session::WindowMessage::ProgressClose)
        return;
    download_progress_.onWindowPost(*post);
    if (!download_progress_.open()) {
        delete progress_window_.data();
        return;
    }
    if (!progress_window_) {
        progress_window_ = new DownloadProgressWindow(this);
        connect(progress_window_, &DownloadProgressWindow::stopPressed, this, [this] {
            if (session::DvrSession* session = controller_->session()) session->downloadStop();
        });
        progress_window_->move(frameGeometry().center() - QPoint(200, 20));
    }
    progress_window_->show(download_progress_);
}

}  // namespace kalix::ui
