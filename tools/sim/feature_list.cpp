#include "sim/feature_list.h"

#include "sim/backup_transfer.h"
#include "sim/fault_injection.h"
#include "sim/identity_login.h"
#include "sim/live_audio_switch.h"
#include "sim/live_view.h"
#include "sim/recorder_logs.h"
#include "sim/recording_search.h"
#include "sim/remote_playback.h"

namespace kalix::sim {

std::shared_ptr<const RecordingSchedule> recordingsFor(const SimConfig& config, RecorderSeconds wall_clock_now) {
    const RecordingSettings& r = config.recordings;
    if (!r.enabled) return std::make_shared<const RecordingSchedule>();
    if (r.schedule) return r.schedule;
    return std::make_shared<const RecordingSchedule>(RecordingSchedule::demo(r.now.value_or(wall_clock_now)));
}

std::vector<std::unique_ptr<SimFeature>> makeFeatures(ClientLink& link, SharedState& shared) {
    std::vector<std::unique_ptr<SimFeature>> features;
    features.push_back(std::make_unique<IdentityLogin>(link, &shared.firmware));
    features.push_back(std::make_unique<LiveView>(link));
    // After live view: its audio starts once the live answer is out and
    // stops before the stop's acknowledgement.
    features.push_back(std::make_unique<LiveAudioSwitch>(link));
    features.push_back(std::make_unique<Talk>(link, shared.talk));
    features.push_back(std::make_unique<RecordingSearch>(link, shared.recordings));
    features.push_back(std::make_unique<RemotePlayback>(link, shared.recordings));
    features.push_back(std::make_unique<RecorderLogs>(link));
    features.push_back(std::make_unique<Ptz>(link, shared.ptz));
    features.push_back(std::make_unique<RecorderAdministration>(link, shared.admin));
    features.push_back(std::make_unique<FirmwareUpgrade>(link, shared.firmware));
    features.push_back(std::make_unique<BackupTransfer>(link, shared.recordings));
    // Last: the oversized unit follows the live answer and its audio.
    features.push_back(std::make_unique<FaultInjection>(link));
    return features;
}

}  // namespace kalix::sim
