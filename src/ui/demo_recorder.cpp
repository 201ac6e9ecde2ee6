#include "ui/demo_recorder.h"

#include <ctime>
#include <filesystem>

#include "protocol/recorder_time.h"

#include "sim/clip_rewriter.h"
#include "sim/sim_config.h"

namespace kalix::ui {

DemoRecorder::DemoRecorder(const std::vector<std::string>& clip_candidates, bool restricted) {
    sim::SimConfig config;
    if (restricted) {
        config.admin.rights.emplace_back("admin", sim::RightsBits{0, 0, 0, 0, 1, 0, 1, 1, 1});
        config.admin.covert = 0x0008;
        config.admin.live.emplace_back("admin", 0xFF7F);
    }
    config.channel_num = 16;
    config.video.enabled = true;
    config.audio.enabled = true;
    // A recorder keeps the local time of the place it stands in: its
    // recordings lie in the hours before the PC's local clock, where the
    // client's time search and time display look for them.
    const std::time_t now = std::time(nullptr);
    config.recordings.now = protocol::localWallClock(now, protocol::UtcOffset::measure(now));
    for (const std::string& path : clip_candidates) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        std::string error;
        if (auto clip = sim::loadClip(path, error)) {
            config.video.clip = std::make_shared<const std::vector<sim::ClipPicture>>(std::move(*clip));
            clip_path_ = path;
            break;
        }
    }
    sim_ = std::make_unique<sim::RecorderSim>(std::move(config));
}

bool DemoRecorder::start() { return sim_->start(); }

void DemoRecorder::stop() {
    if (sim_) sim_->stop();
}

}  // namespace kalix::ui
