#pragma once
// What the recorder tells us about itself and about the logged-in user, and
// the few administrative commands it accepts:
//   recording state   REC_STATUS, REC_ON_REQ / REC_OFF_REQ and their answers
//   rights            RIGHT_CHANGE, RIGHT_CHANGE2, NETLIVE_CH_CHANGE,
//                     RIGHT_PRESET_CHANGE
//   channels          DB_CHANGE (titles, covert flags), CAM_INFO_CHANGE
//   stored blocks     SYS_ETC_INFO, SYS_ETC_INFO_EX, DST_INFO (DVR_TIME_ACK
//                     is read and dropped)
//   configuration     DB_INFO_ACK, DB_UPDATE_REQ and its answers
//   commands          REBOOT_REQ, DB_INIT_REQ and their answers
//
// Other features and the front ends ask this class what the user may do
// (mayDo), which channels they may watch (channelVisible) and what the
// captions say (channelName). Every query may come from any thread; the
// handlers run on the receive thread. Changes are announced with
// AdministrationChanged, rights decisions with RightsApplied and the
// search hub's WindowPost 21077, answers to our requests with AdminAnswer.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/message_header.h"
#include "session/event_sink.h"
#include "session/login_state.h"
#include "session/reassembly_buffer.h"
#include "session/session_core.h"
#include "session/session_options.h"

namespace kalix::session {

class MediaPipeline;

// The rows of the rights table.
enum class Right : std::uint8_t {
    Record = 0,    // switch recording on and off
    WebSetup = 1,  // open the recorder's web setup
    Search = 2,    // search and remote playback
    Download = 3,  // archive download
    Ptz = 4,
    Covert = 5,    // see covert channels
    Enabled = 6,   // account enabled, with EnabledToo
    Reboot = 7,
    EnabledToo = 8,
};

inline constexpr std::size_t kRightRows = 9;
inline constexpr std::size_t kSessionUserSlots = 27;
inline constexpr std::size_t kRightChangeSize = 584;
inline constexpr std::size_t kRightChange2Size = 3'650;
inline constexpr std::size_t kNetLiveSize = 928;     // 58 user rows x 16 channels
inline constexpr std::size_t kPresetRightsSize = 58;  // one byte per user slot
inline constexpr std::size_t kDbChangeSize = 596;
inline constexpr std::size_t kCamInfoSize = 16;
inline constexpr std::size_t kSysEtcInfoSize = 320;
inline constexpr std::size_t kSysEtcInfoExSize = 3'200;
inline constexpr std::size_t kDstInfoSize = 1'204;
inline constexpr std::size_t kChannelTitleSize = 32;
// The main window keeps at most this much of a configuration block; the
// rest of a longer block is kept beside it, so both are here as one block.
inline constexpr std::size_t kConfigCopyLimit = 64'512;
// The largest DB_UPDATE_REQ payload a message header can announce.
inline constexpr std::size_t kMaxUpdatePayload = 65'535;

using RightsRow = std::array<std::uint8_t, kRightRows>;

struct ChannelAdmin {
    int channel = 0;
    std::string name;     // the live caption title: "CH<n>" until DB_CHANGE
    bool covert = false;  // DB_CHANGE covert flag is 1
    bool live = true;     // the user's NETLIVE byte is non-zero (1 until one came)
    bool hidden = false;  // hidden from the wall by the current tables
    std::optional<bool> camera;  // from CAM_INFO_CHANGE, none before it
    friend bool operator==(const ChannelAdmin&, const ChannelAdmin&) = default;
};

struct StoredBlockSizes {
    std::size_t sys_etc_info = 0;  // 0: none, or one of a wrong size dropped
    std::size_t sys_etc_info_ex = 0;
    std::size_t dst_info = 0;
    std::size_t config = 0;  // the last block with a correct CRC, without the CRC word
    friend bool operator==(const StoredBlockSizes&, const StoredBlockSizes&) = default;
};

// Everything at once, consistent (one lock).
struct AdministrationState {
    bool recording = false;
    std::optional<int> user_index;   // session slot; RIGHT_CHANGE2 slots count from 6
    std::optional<RightsRow> rights;  // the user's own rows 0-8; none before a rights message
    std::uint8_t ptz_preset = 1;      // the user's RIGHT_PRESET_CHANGE byte
    std::vector<ChannelAdmin> channels;  // 0 .. channel_num - 1
    StoredBlockSizes blocks;
};

// What a request from the owner came to.
enum class AdminSend : std::uint8_t {
    Sent = 1,
    NotAllowed,    // the rights do not allow it: notice 0xF0000 posted, nothing sent
    NotConnected,  // no login answer (hello flag clear): nothing sent
    NoBlock,       // configuration update without a stored block
    WrongSize,     // configuration update of another length than the stored block
    TooLarge,      // configuration update over 65,535 bytes: nothing sent
};

class Administration {
public:
    Administration(SessionCore& core, LoginState& login, MediaPipeline& media, const SessionOptions& options);

    // -- queries, any thread --
    AdministrationState state() const;
    bool recording() const;
    std::optional<int> userIndex() const;
    std::optional<RightsRow> rights() const;
    // Whether the user holds `right` (false before any rights message).
    bool holds(Right right) const;
    // The operation rules of the main window's buttons, which also look at
    // the login answer's product version and account byte:
    //   Record   the record button
    //   WebSetup the remote setup button
    //   Search / Download  opening the search hub with that tab
    //   Ptz      the PTZ panel (and the preset byte for presets)
    //   Reboot   the reboot confirmation
    bool mayDo(Right right) const;
    bool mayUsePresets() const;
    // The user may watch channel c: below channel_num, not hidden by the
    // covert and live-permission rules. Stills and PTZ ask this too.
    bool channelVisible(int channel) const;
    // Bit c set: channel c hidden from the wall.
    std::uint32_t hiddenMask() const;
    // The live caption title of channel c.
    std::string channelName(int channel) const;
    // Bit c set: a camera is present (all set before CAM_INFO_CHANGE).
    std::uint32_t cameraMask() const;
    // The last configuration block with a correct CRC, without its CRC word.
    std::vector<std::uint8_t> configBlock() const;
    std::vector<std::uint8_t> sysEtcInfo() const;
    std::vector<std::uint8_t> sysEtcInfoEx() const;
    std::vector<std::uint8_t> dstInfo() const;
    // The first DB_CHANGE word, the archive password (none before DB_CHANGE).
    std::optional<std::uint32_t> dbChangeWord() const;
    std::string archivePassword() const;
    bool configurationBusy() const { return config_busy_.load(); }

    // -- requests, owner's thread --
    // The record button: REC_OFF_REQ while recording, else REC_ON_REQ, by
    // the rights rule; refusal by rights posts notice 0xF0000.
    AdminSend recordButton();
    // Only after the login answer; the reboot needs right 7.
    AdminSend reboot();
    AdminSend databaseInit();
    // DB_UPDATE_REQ: CRC-32 of `block` big-endian, then `block`, which must
    // have the stored block's length.
    AdminSend configUpdate(std::span<const std::uint8_t> block);

    // -- handlers, receive thread (fed by the dispatch table) --
    void onRecordAnswer(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onRecStatus(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onRightChange(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onNetLive(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onPresetRights(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onDbChange(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onCamInfo(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onStoredBlock(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onConfigBlock(const protocol::MessageHeader& last, std::span<const std::uint8_t> unit);
    void onAnswer(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onRefusal(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    struct Tables;
    bool newerRecorder() const;  // product_major > 1, or 1 with a minor version
    // Applies the hiding rule to the latest tables; true when it changed.
    // -- with mutex_ held --
    bool rehideLocked();
    bool hiddenLocked(const Tables& t, int channel) const;
    std::string nameLocked(int channel) const;
    void publishTitles();

    SessionCore& core_;
    LoginState& login_;
    MediaPipeline& media_;
    const SessionOptions& options_;

    // -- guarded by mutex_ --
    mutable std::mutex mutex_;
    struct Tables {
        bool recording = false;
        std::optional<int> user_index;
        std::optional<RightsRow> user_rights;
        std::array<std::array<std::uint8_t, kSessionUserSlots>, kRightRows> rights{};
        std::vector<std::uint8_t> right_change;   // last accepted payloads (empty: none)
        std::vector<std::uint8_t> right_change2;
        std::array<std::uint8_t, kNetLiveSize> netlive{};
        std::array<std::uint8_t, kPresetRightsSize> presets{};
        std::optional<std::vector<std::uint8_t>> db_change;
        std::array<std::uint8_t, 16> covert{};
        std::array<std::string, 16> titles;
        std::optional<std::array<std::uint8_t, kCamInfoSize>> cameras;
        std::vector<std::uint8_t> sys_etc_info;
        std::vector<std::uint8_t> sys_etc_info_ex;
        std::vector<std::uint8_t> dst_info;
        std::vector<std::uint8_t> config;
        std::uint32_t hidden_mask = 0;  // the last state applied to the wall
        std::array<std::uint8_t, 8> password{};
        std::string archive_password;
        std::optional<std::uint32_t> db_word;
    } t_;

    std::atomic<bool> config_busy_{false};
    // -- receive thread only --
    ReassemblyBuffer config_buffer_;
};

}  // namespace kalix::session
