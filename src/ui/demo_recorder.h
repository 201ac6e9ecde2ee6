#pragma once
// The recorder of `kalix --demo`: the simulator running inside the program
// on a free loopback port, 16 channels with live video and audio. Its video
// is the recorded clip when one is found, else the simulator's own camera
// pictures. Its recordings are the simulator's demo schedule around the
// PC's local time: the three days before, and the last hour with a gap of a
// minute half an hour ago.

#include <memory>
#include <string>
#include <vector>

#include "sim/recorder_sim.h"

namespace kalix::ui {

class DemoRecorder {
public:
    // clip_candidates: paths tried in order; the first that loads is used.
    // restricted: the operator's account may not switch recording, open
    // the web setup, search or download, nor see covert channels; channel 4
    // is covert and channel 8 not allowed live.
    explicit DemoRecorder(const std::vector<std::string>& clip_candidates, bool restricted = false);
    bool start();
    std::uint16_t port() const { return sim_ ? sim_->port() : 0; }
    const std::string& clipPath() const { return clip_path_; }  // empty: camera pictures
    void stop();

private:
    std::unique_ptr<sim::RecorderSim> sim_;
    std::string clip_path_;
};

}  // namespace kalix::ui
