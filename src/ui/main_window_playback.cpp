// The main window's part of remote search and playback: the remote search
// dialog, the status strip, the time display and the event-jump bar.

#include "ui/main_window.h"
#include <filesystem>
#include "archive/archive_writer.h"
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <variant>
#include "app/string_table.h"
#include "ui/widgets/event_jump_bar.h"
#include "ui/widgets/time_display.h"
#include "ui/dialogs/notice_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_slider.h"
#include "ui/widgets/video_wall_widget.h"

namespace kalix::ui {

using app::ControlId;

void MainWindow::playbackChanged() {
    if (controller_->playbackStatus()) {
        if (!playback_timer_.isActive()) playback_timer_.start();
    } else {
        playback_timer_.stop();
    }
    sliders_[static_cast<int>(ControlId::PositionSlider)]->setVisible(positionBarShown());
    if (jump_bar_) jump_bar_->refresh();
    if (time_display_) time_display_->refresh();
    update(kPositionBarRect.united(kStatusStripRect));
}

// The time display shows the playback's position; outside a playback (it
// is closed then, but a late redraw may come) the PC's own clock.
void MainWindow::openTimeDisplay() {
    if (time_display_) return;
    auto* display = new TimeDisplay(
        [this] {
            const auto status = controller_ ? controller_->playbackStatus() : std::nullopt;
            const protocol::RecorderTime value =
                status ? status->position : protocol::localWallClock(std::time(nullptr), setup_.utc_offset);
            return app::timeDisplayGlyphs(value, settings_.hour_system);
        },
        this);
    display->move(kTimeDisplayPos);
    display->show();
    time_display_ = display;
}

void MainWindow::closeTimeDisplay() { delete time_display_.data(); }

void MainWindow::openEventJumpBar() {
    delete jump_bar_.data();
    auto* bar = new EventJumpBar([this](app::EventJumpButton b) { return controller_->eventJumpState(b); }, this);
    bar->setWindowOpacity(settings_.alpha(app::OpacitySlot::PtzAndEventBar) / 255.0);
    connect(bar, &EventJumpBar::pressed, this, [this](app::EventJumpButton b) { controller_->pressEventJump(b); });
    bar->move(kEventJumpBarPos);
    bar->show();
    bar->raise();
    jump_bar_ = bar;
}

void MainWindow::closeEventJumpBar() { delete jump_bar_.data(); }

TimeDisplay* MainWindow::timeDisplay() const { return time_display_.data(); }
EventJumpBar* MainWindow::eventJumpBar() const { return jump_bar_.data(); }

QString MainWindow::statusStripText() const {
    const auto status = controller_ ? controller_->playbackStatus() : std::nullopt;
    if (!status) return {};
    return QString::fromStdString(
        app::statusStripText(*status, settings_.date_format, [](std::uint16_t id) { return resourceString(id).toStdString(); }));
}

RemoteSearchDialog* MainWindow::remoteSearchDialog() const {
    return static_cast<RemoteSearchDialog*>(remote_search_.data());
}

void MainWindow::openRemoteSearch() {
    session::DvrSession* session = controller_->session();
    const auto identity = session ? session->identity() : std::nullopt;
    if (!identity || remote_search_) return;
    search_requests_ = std::make_unique<app::SessionSearchRequests>(*session);
    // Play goes through the controller, which keeps the remote-play state.
    backup_requests_ =
        std::make_unique<app::SessionBackupRequests>(*session, archive::downloadFolder(settings_.location));
    RemoteSearchDeps deps{*search_requests_, *controller_, *identity};
    deps.backup = backup_requests_.get();
    deps.download_folder = archive::downloadFolder(settings_.location);
    deps.permitted_channels = app::channelsBelow(identity->channel_num);
    deps.date_format = settings_.date_format;
    deps.opacity = settings_.alpha(app::OpacitySlot::RemoteSearch);
    deps.address = session->address();
    deps.port = session->options().port;
    auto* dialog = new RemoteSearchDialog(std::move(deps), this);
    connect(dialog, &RemoteSearchDialog::noticeRequested, this,
            [this](session::Notice notice) { controller_->requestNotice(notice); });
    connect(dialog, &QObject::destroyed, this, [this] {
        if (controller_) controller_->setRemoteSearch(nullptr);
    });
    remote_search_ = dialog;
    controller_->setRemoteSearch(&dialog->hub());
    dialog->centreOn(this);
    dialog->show();
}

}  // namespace kalix::ui
