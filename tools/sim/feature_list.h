#pragma once
// The recorder's features, made afresh for every connection.

#include <memory>
#include <vector>

#include "sim/client_link.h"
#include "sim/sim_feature.h"
#include "sim/talk.h"

namespace kalix::sim {

// What the features of all connections share; the simulator keeps it for as
// long as it runs.
struct SharedState {
    TalkStore talk;
};

// One instance of every feature for the connection of `link`, in the order
// in which they hear the connection's news.
std::vector<std::unique_ptr<SimFeature>> makeFeatures(ClientLink& link, SharedState& shared);

}  // namespace kalix::sim
