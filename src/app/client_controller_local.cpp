// The main window's local-playback side: the start at a time (from the
// local search, a bookmark or an event jump), the playback bar as player
// commands, the position slider, the slow-motion and event buttons of the
// event-jump bar, and the stop.

#include "app/client_controller.h"

#include "archive/local_catalogue.h"
#include "player/play_catalogue.h"

namespace kalix::app {

session::PlayMode localPlayMode(player::Command state) {
    using player::Command;
    using session::PlayMode;
    switch (state) {
        case Command::StepBackward: return PlayMode::StepBackward;
        case Command::Backward:
        case Command::SlowBackward: return PlayMode::Reverse;
        case Command::Forward:
        case Command::SlowForward: return PlayMode::Forward;
        case Command::Pause: return PlayMode::Pause;
        case Command::StepForward: return PlayMode::StepForward;
        case Command::None: break;
    }
    return PlayMode::None;
}

bool ClientController::startLocalPlayback(protocol::RecorderTime t) {
    if (remotePlaybackShown()) return false;
    stopLocalPlayback();
    archive::LocalCatalogue local;
    if (deps_archive_folder_) {
        archive::CatalogueRequest request;
        request.time = t;
        request.events = false;
        local = archive::buildLocalCatalogue(deps_archive_folder_(), request);
    }
    player::Catalogue catalogue;
    for (std::size_t i = 0; i < local.segments.size(); ++i) catalogue.push_back(player::toPlayerSegment(local, i));
    const auto first = player::startSegment(catalogue, t);
    if (!first) {
        requestNotice(session::Notice::of(session::NoticeKind::NoRecordedData));
        return false;
    }
    wall_.setDisplayMode(media::DisplayMode::LocalPlayback);
    LocalSound sound;
    sound.make_output = deps_sound_output_;
    if (deps_local_audio_buf_) sound.audio_buf = deps_local_audio_buf_();
    // Without a recorder there is no audio flag to ask: sound plays.
    sound.wanted = session_ == nullptr || session_->audioFlag();
    local_ = std::make_unique<LocalPlayback>(std::move(catalogue), wall_, std::move(sound));
    player::PlayerStart start;
    start.segment = *first;
    start.first = player::Command::Forward;
    start.speed = 1;
    start.every_picture_backwards = true;
    start.watermark_check = deps_watermark_check_ && deps_watermark_check_();
    local_->start(start);
    writeLog(session::LogCategory::LocalPlayback, 1);
    for (int i = 0; i < kPlaybackButtons; ++i)
        if (i != 4) setEnabled(playbackButton(i), true);  // 344 (recording) keeps its own state
    view_.openTimeDisplay();
    view_.openEventJumpBar();
    view_.buttonsChanged();
    view_.playbackChanged();
    return true;
}

void ClientController::stopLocalPlayback() {
    if (!local_) return;
    local_->stop();
    local_.reset();
    writeLog(session::LogCategory::LocalPlayback, 2);
    wall_.setDisplayMode(media::DisplayMode::None);
    for (int i = 0; i < kPlaybackButtons; ++i)
        if (i != 4) setEnabled(playbackButton(i), false);
    view_.closeTimeDisplay();
    view_.closeEventJumpBar();
    view_.buttonsChanged();
    view_.playbackChanged();
    view_.repaintWall();
}

std::optional<LocalStatus> ClientController::localStatus() const {
    if (!local_) return std::nullopt;
    return local_->status();
}

std::string ClientController::localPlaybackPath() const { return local_ ? local_->currentPath() : std::string{}; }

// Steps only from a paused player; pause only from running play.
void ClientController::pressLocalPlayback(ControlId control) {
    if (!local_) return;
    using player::Command;
    const Command state = local_->status().state;
    switch (static_cast<int>(control) - static_cast<int>(ControlId::Play1)) {
        case 0: if (state == Command::Pause) local_->command(Command::StepBackward); break;
        case 1: local_->command(Command::Backward); break;
        case 2: local_->command(Command::Forward); break;
        case 3: if (player::isPlayingState(state)) local_->command(Command::Pause); break;
        case 5: return stopLocalPlayback();
        case 6: if (state == Command::Pause) local_->command(Command::StepForward); break;
        default: return;
    }
    view_.buttonsChanged();
    view_.playbackChanged();
}

void ClientController::pressLocalEventJump(EventJumpButton button) {
    switch (button) {
        case EventJumpButton::SlowBackward: local_->command(player::Command::SlowBackward); break;
        case EventJumpButton::SlowForward: local_->command(player::Command::SlowForward); break;
        case EventJumpButton::PreviousEvent:
        case EventJumpButton::NextEvent: {
            const auto way = button == EventJumpButton::PreviousEvent ? JumpWay::Previous : JumpWay::Next;
            const auto target = eventJumpTarget(local_events_, local_->status().time, way);
            if (!target) return;
            const protocol::RecorderTime t = local_events_[*target].time;
            auto events = std::move(local_events_);
            startLocalPlayback(t);
            local_events_ = std::move(events);  // the list stays for further jumps
            break;
        }
        default: return;
    }
    view_.playbackChanged();
}

}  // namespace kalix::app
