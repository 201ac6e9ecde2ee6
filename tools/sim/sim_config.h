#pragma once
// What the simulated recorder is (its identity in the login answer, its
// accounts) and which faults it plays, plus the kalix-sim command line that
// fills it in.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/clip_rewriter.h"
#include "sim/recording_schedule.h"

namespace kalix::sim {

// A login the recorder accepts. Compared lower-cased, as the client
// lower-cases both fields before sending them.
struct UserAccount {
    std::string name;
    std::string password;
};

inline constexpr std::size_t kMaxFirmwareParts = 20;
inline constexpr std::size_t kVideoChannels = 16;
inline constexpr unsigned kMaxFramesPerSecond = 30;

struct PictureSize {
    std::uint16_t width = 352;
    std::uint16_t height = 288;

    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// 352×240, 352×288, 704×480, 704×576, 720×480 and 720×576: what recorders send.
bool isRecorderPictureSize(PictureSize size);

// Live video, sent per channel from LIVE_REQ until LIVE_STOP.
struct VideoSettings {
    bool enabled = false;
    std::array<PictureSize, kVideoChannels> sizes{};
    std::array<std::uint8_t, kVideoChannels> frames_per_second = filled(25);  // 1-30
    // Frames from one key frame to the next: 1 makes every frame a key frame.
    std::uint32_t key_interval = 25;
    // A recorded clip, rewritten: when set, every channel sends it instead of
    // its camera picture, over and over at the clip's own size and key frames
    // (sizes and key_interval do not apply).
    std::shared_ptr<const std::vector<ClipPicture>> clip;

private:
    static constexpr std::array<std::uint8_t, kVideoChannels> filled(std::uint8_t fps) {
        std::array<std::uint8_t, kVideoChannels> a{};
        a.fill(fps);
        return a;
    }
};
inline constexpr std::size_t kFirmNameSize = 32;

// Live audio, sent while the client has switched audio on during live view.
struct AudioSettings {
    bool enabled = false;
    // The channels with audio, cut to the live channels; none: every live
    // channel.
    std::optional<std::uint16_t> mask;
};

// Recordings on the recorder's disk: searched by month, day and event and
// played back remotely.
struct RecordingSettings {
    // False: nothing is recorded (the month search is refused with reason 83).
    bool enabled = true;
    // From a schedule file; none: the demo schedule around `now`.
    std::shared_ptr<const RecordingSchedule> schedule;
    // The demo schedule's "now"; none: the wall clock when the simulator starts.
    std::optional<RecorderSeconds> now;
    // The speed a playback starts at: 1-6 times recorded time, or 0 for
    // play_speed 10 (no speed: frames go as fast as the credits allow).
    std::uint8_t start_speed = 1;
    // Search answers carry at most this many records per message (0: as many
    // as fit in 65,535 bytes); the rest follow in further fragments.
    std::uint32_t records_per_message = 0;
    // After this many video units of a playback, PLAY_ON_FAIL with the reason.
    std::optional<std::pair<std::uint64_t, std::int32_t>> fail_after;
};

// Firmware upgrade: what the recorder answers to FW_UPDATE_REQ and the
// upload that follows, and how it restarts afterwards.
struct FirmwareSettings {
    // Refuse every request with FW_UPDATE_NACK and this reason.
    std::optional<std::int32_t> refuse;
    // After this many bytes of an upload: FW_DATA_RX_FAIL with the reason,
    // the rest ignored.
    std::optional<std::pair<std::uint64_t, std::int32_t>> data_fail;
    // After the data: FW_UPDATE_FAIL with this reason instead of FW_UPDATE_DONE.
    std::optional<std::int32_t> update_fail;
    // Close the connection once this many bytes of an upload are in.
    std::optional<std::uint64_t> close_after;
    // From FW_DATA_RX_DONE to the verdict.
    std::chrono::milliseconds flash_time{300};
    // After FW_UPDATE_DONE with no further request for this long the
    // recorder restarts: every connection is closed and the next login
    // reports the new stamps. 0: no restart.
    std::chrono::milliseconds restart_after{2000};
};

// Backup download: the size answer and the faults of a transfer.
struct BackupSettings {
    // TRANS_ON_ACK carries this many KiB instead of the range's size.
    std::optional<std::uint32_t> size_kib;
    // The size calculation takes this long (CAPA_CAL_CANCEL ends it unanswered).
    std::chrono::milliseconds size_delay{0};
    // After this many units of a transfer, TRANS_ON_FAIL with the reason.
    std::optional<std::pair<std::uint64_t, std::int32_t>> fail_after;
    // After this many units of a transfer, the connection is closed.
    std::optional<std::uint64_t> close_after;
};

// A request refused on demand with its _NACK and a reason (see
// fault_injection.h for the requests that can be refused).
struct Refusal {
    std::uint16_t request = 0;
    std::int32_t reason = 0;
};

inline constexpr std::size_t kRightRows = 9;
using RightsBits = std::array<std::uint8_t, kRightRows>;  // rights rows 0-8 of one account, 0 or 1

// An account's rights changed while connected: `after` the login, a new
// rights message goes out with these rights for `name`.
struct RightsChange {
    std::chrono::milliseconds after{0};
    std::string name;
    RightsBits rights{};
};

// What the recorder tells a client about itself and its accounts after the
// login, and the administrative requests it answers.
struct AdminSettings {
    // After the login the recorder tells the client the rights, the channel
    // tables, the recording state and its stored blocks unasked. Tests of
    // other features on the raw wire switch this off.
    bool announce = true;
    // Rights of the named accounts; every other account holds all nine.
    std::vector<std::pair<std::string, RightsBits>> rights;
    std::vector<RightsChange> changes;
    // 1: RIGHT_CHANGE (up to 8 accounts), 2: RIGHT_CHANGE2 (up to 50).
    std::uint8_t rights_layout = 1;
    // Channel titles; empty ones get the recorder's default names.
    std::array<std::string, kVideoChannels> channel_names{};
    std::uint16_t covert = 0;
    // Channels an account may watch live (others: all).
    std::vector<std::pair<std::string, std::uint16_t>> live;
    // Accounts without the PTZ preset permission.
    std::vector<std::string> no_presets;
    bool recording = true;
    std::uint16_t cameras = 0xFFFF;
    std::size_t config_size = 4'096;
    // Send the stored blocks of a wrong size (tests of the client's checks).
    bool bad_blocks = false;
};

struct SimConfig {
    std::uint16_t port = 0;  // 0 = ephemeral; always binds 127.0.0.1

    // Identity carried in HELLO48_ACK.
    std::uint8_t protocol_major = 1, protocol_minor = 0;
    std::uint8_t product_number = 11;  // 11 MOSS-X (kind 3), 12 LARK (kind 5)
    std::uint8_t product_major = 1, product_minor = 0, front_ver = 1;
    std::uint8_t channel_num = 16;
    std::uint8_t account = 0;
    std::array<std::uint8_t, 6> mac{0x00, 0x1c, 0x2d, 0x3e, 0x4f, 0x50};
    std::uint8_t feature = 0x08;  // bit 3: accepts PLAY_VIEW_CH
    std::array<std::uint8_t, 8> key{0x4b, 0x61, 0x6c, 0x69, 0x78, 0x53, 0x69, 0x6d};
    std::uint16_t web_port = 80;
    // FirmName / FirmVer pairs; only the first 20 go out, names cut at 32 bytes.
    std::vector<std::pair<std::string, std::uint32_t>> firmware;
    std::vector<UserAccount> users{{"admin", "1234"}};
    // Send a login answer of this many bytes instead of 768 (cut or
    // zero-padded).
    std::optional<std::uint32_t> hello_length_override;

    // Faults.
    // Answer every HELLO with BYE48 carrying this reason, then close.
    std::optional<std::int32_t> bye_reason;
    // The reason of the BYE48 that answers a wrong user name or password.
    std::int32_t wrong_password_reason = 2;
    // Close the connection this long after login.
    std::optional<std::chrono::milliseconds> close_after;
    // After login, send a message with this code and this many payload bytes.
    std::optional<std::pair<std::uint16_t, std::uint16_t>> unknown_after_login;
    // Send HELLO48_ACK and LIVE_CHANNEL_INFO in several TCP writes that cut
    // the header and the payload.
    bool fragment_replies = false;
    // Once live view is answered (or right after login when LIVE_REQ goes
    // unanswered): one LIVE_DATA unit larger than the client's 1,244,160-byte
    // reassembly buffer, in 65,535-byte fragments, then a small normal unit.
    bool oversized_unit_after_login = false;
    // After login, send bytes that are no message at all.
    bool garbage_after_login = false;
    // LIVE_CHANNEL_INFO word 0: low 16 bits the channels sent, upper 16 bits
    // those in video loss; cut to the requested channels and channel_num.
    std::uint32_t live_mask = 0xFFFF;
    bool answer_live_req = true;

    VideoSettings video;
    AudioSettings audio;
    RecordingSettings recordings;
    FirmwareSettings firmware_upgrade;
    BackupSettings backup;
    std::vector<Refusal> refusals;
    AdminSettings admin;

    // Talk: A_LISTEN_REQ is refused with A_LISTEN_NACK and this reason when
    // set, else accepted.
    std::optional<std::int32_t> talk_nack_reason;
    // Where the talk audio received goes as it comes: the raw bytes to this
    // file, the decoded values as 16-bit little-endian PCM to this file plus
    // ".pcm". Empty: kept in memory only.
    std::string talk_out_path;

    // The channels with a PTZ camera: PTZ_CHANNEL_ACK byte 0 is 1 for them.
    std::uint16_t ptz_channels = 0xFFFF;

    // Where every message goes as one JSON line: empty for nowhere, "-" for
    // standard output, otherwise a file that is created or truncated.
    std::string traffic_path;
    // Connection events ("[sim] conn 1 login admin") on standard error.
    bool log_events = false;
};

// The kalix-sim command line.
struct CommandLine {
    SimConfig config;
    std::string port_file;  // empty: none
    bool help = false;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and says why in `error`.
std::optional<CommandLine> parseArguments(std::span<const std::string_view> args,
                                          std::string& error);

std::string usageText();

}  // namespace kalix::sim
