#pragma once
// The recorder's features, made afresh for every connection.

#include <memory>
#include <vector>

#include "sim/administration.h"
#include "sim/client_link.h"
#include "sim/firmware_upgrade.h"
#include "sim/recording_schedule.h"
#include "sim/sim_feature.h"
#include "sim/ptz.h"
#include "sim/talk.h"

namespace kalix::sim {

// What the features of all connections share; the simulator keeps it for as
// long as it runs.
struct SharedState {
    TalkStore talk;
    PtzLog ptz;
    AdminStore admin;
    // The firmware modules and their stamps; set from the configuration
    // before the first connection, changed by upgrades.
    FirmwareStore firmware;
    // What the recorder holds; set once before the first connection.
    std::shared_ptr<const RecordingSchedule> recordings = std::make_shared<const RecordingSchedule>();
};

// One instance of every feature for the connection of `link`, in the order
// in which they hear the connection's news.
// The schedule the configuration asks for: its file's, the demo schedule
// around its "now" (or `wall_clock_now`), or nothing when recordings are off.
std::shared_ptr<const RecordingSchedule> recordingsFor(const SimConfig& config, RecorderSeconds wall_clock_now);

std::vector<std::unique_ptr<SimFeature>> makeFeatures(ClientLink& link, SharedState& shared);

}  // namespace kalix::sim
