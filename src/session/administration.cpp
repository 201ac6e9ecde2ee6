#include "session/administration.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"
#include "protocol/transport.h"
#include "session/media_pipeline.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

namespace {

using namespace std::chrono_literals;

// The recorder needs a moment after a database initialisation before it
// takes the next message.
constexpr auto kDbInitPause = 50ms;

constexpr std::size_t kNameSize = 32;
constexpr std::size_t kChannels = 16;
constexpr std::size_t kNetLiveRow = 16;
constexpr std::uint32_t kNotAllowed = 0xF0000;
constexpr std::uint32_t kConfigurationCrc = 0x90000;
constexpr std::uint32_t kConfigurationStored = 0xA0000;

// The two layouts of a rights message.
struct RightsLayout {
    std::size_t size;
    std::size_t users;        // bytes per rights row, users in the payload
    std::size_t names_at;
    std::size_t passwords_at;
    std::size_t copied;       // users copied into the session tables
    std::size_t first_slot;   // their first session slot
};
constexpr RightsLayout kRightChange{kRightChangeSize, 8, 72, 328, 6, 0};
constexpr RightsLayout kRightChange2{kRightChange2Size, 50, 450, 2'050, 21, 6};

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

// A fixed field up to its first zero.
std::string_view fieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(field.data()), static_cast<std::size_t>(end - field.begin())};
}

// Length of the UTF-8 sequence at `p` (at most `left` bytes), 0 when it is
// not a well-formed one.
std::size_t utf8Sequence(const unsigned char* p, std::size_t left) {
    const unsigned char b = p[0];
    std::size_t n = 0;
    if (b >= 0xC2 && b <= 0xDF) n = 2;
    else if (b >= 0xE0 && b <= 0xEF) n = 3;
    else if (b >= 0xF0 && b <= 0xF4) n = 4;
    else return 0;
    if (n > left) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return n;
}

// A channel title as text for captions: up to the first zero of its 32
// bytes; control bytes become '?', and bytes that are no UTF-8 are read as
// Latin-1, so the result is always valid UTF-8.
std::string titleText(std::span<const std::uint8_t> field) {
    const std::string_view raw = fieldText(field);
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out += (b < 0x20 || b == 0x7F) ? '?' : static_cast<char>(b);
            ++i;
        } else if (const std::size_t n = utf8Sequence(p + i, raw.size() - i); n != 0) {
            out.append(raw.substr(i, n));
            i += n;
        } else if (b < 0xA0) {
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
            ++i;
        }
    }
    return out;
}

std::string defaultTitle(int channel) { return "CH" + std::to_string(channel + 1); }

AdminRequest requestOf(std::uint16_t code) {
    switch (static_cast<Code>(code)) {
    case Code::REC_ON_ACK:
    case Code::REC_ON_NACK: return AdminRequest::RecordOn;
    case Code::REC_OFF_ACK:
    case Code::REC_OFF_NACK: return AdminRequest::RecordOff;
    case Code::REBOOT_ACK:
    case Code::REBOOT_NACK: return AdminRequest::Reboot;
    case Code::DB_INIT_ACK:
    case Code::DB_INIT_NACK: return AdminRequest::DatabaseInit;
    default: return AdminRequest::ConfigUpdate;
    }
}

}  // namespace

Administration::Administration(SessionCore& core, LoginState& login, MediaPipeline& media,
                               const SessionOptions& options)
    : core_(core), login_(login), media_(media), options_(options), config_buffer_(kReassemblyCapacity) {
    t_.netlive.fill(1);
    t_.presets.fill(1);
    for (int c = 0; c < static_cast<int>(kChannels); ++c) t_.titles[static_cast<std::size_t>(c)] = defaultTitle(c);

    DispatchTable& table = core_.handlers();
    for (Code code : {Code::REC_ON_ACK, Code::REC_OFF_ACK})
        table.on(code, [this](const auto& h, auto p) { onRecordAnswer(h, p); });
    table.on(Code::REC_STATUS, [this](const auto& h, auto p) { onRecStatus(h, p); });
    // A rights message or block of the wrong size still clears the stored
    // copy, so these handlers see every length.
    for (Code code : {Code::RIGHT_CHANGE, Code::RIGHT_CHANGE2})
        table.on(code, [this](const auto& h, auto p) { onRightChange(h, p); }, Delivery::AnyLength);
    for (Code code : {Code::SYS_ETC_INFO, Code::SYS_ETC_INFO_EX, Code::DST_INFO})
        table.on(code, [this](const auto& h, auto p) { onStoredBlock(h, p); }, Delivery::AnyLength);
    table.on(Code::NETLIVE_CH_CHANGE, [this](const auto& h, auto p) { onNetLive(h, p); });
    table.on(Code::RIGHT_PRESET_CHANGE, [this](const auto& h, auto p) { onPresetRights(h, p); });
    table.on(Code::DB_CHANGE, [this](const auto& h, auto p) { onDbChange(h, p); });
    table.on(Code::CAM_INFO_CHANGE, [this](const auto& h, auto p) { onCamInfo(h, p); });
    table.on(Code::DVR_TIME_ACK, [](const auto&, auto) {});
    table.onUnit(Code::DB_INFO_ACK, config_buffer_, [this](const auto& h, auto p) { onConfigBlock(h, p); });
    for (Code code : {Code::REBOOT_ACK, Code::DB_INIT_ACK, Code::DB_UPDATE_ACK})
        table.on(code, [this](const auto& h, auto p) { onAnswer(h, p); });
    for (Code code : {Code::REC_ON_NACK, Code::REC_OFF_NACK, Code::REBOOT_NACK, Code::DB_INIT_NACK,
                      Code::DB_UPDATE_NACK})
        table.on(code, [this](const auto& h, auto p) { onRefusal(h, p); });
}

// ---------------------------------------------------------------- queries

AdministrationState Administration::state() const {
    const int count = login_.channelCount();
    std::lock_guard lock(mutex_);
    AdministrationState s;
    s.recording = t_.recording;
    s.user_index = t_.user_index;
    s.rights = t_.user_rights;
    const std::size_t slot = static_cast<std::size_t>(t_.user_index.value_or(0));
    s.ptz_preset = t_.presets[slot];
    for (int c = 0; c < count && c < static_cast<int>(kChannels); ++c) {
        const auto i = static_cast<std::size_t>(c);
        ChannelAdmin ch;
        ch.channel = c;
        ch.name = t_.titles[i];
        ch.covert = t_.covert[i] == 1;
        ch.live = t_.netlive[slot * kNetLiveRow + i] != 0;
        ch.hidden = hiddenLocked(t_, c);
        if (t_.cameras) ch.camera = (*t_.cameras)[i] != 0;
        s.channels.push_back(std::move(ch));
    }
    s.blocks = StoredBlockSizes{t_.sys_etc_info.size(), t_.sys_etc_info_ex.size(), t_.dst_info.size(),
                                t_.config.size()};
    return s;
}

bool Administration::recording() const {
    std::lock_guard lock(mutex_);
    return t_.recording;
}

std::optional<int> Administration::userIndex() const {
    std::lock_guard lock(mutex_);
    return t_.user_index;
}

std::optional<RightsRow> Administration::rights() const {
    std::lock_guard lock(mutex_);
    return t_.user_rights;
}

bool Administration::holds(Right right) const {
    std::lock_guard lock(mutex_);
    return t_.user_rights && (*t_.user_rights)[static_cast<std::size_t>(right)] != 0;
}

bool Administration::newerRecorder() const {
    const auto id = login_.identity();
    return id && (id->product_major > 1 || (id->product_major == 1 && id->product_minor > 0));
}

bool Administration::mayDo(Right right) const {
    const auto id = login_.identity();
    if (!id) return false;
    if (right == Right::Reboot) return holds(Right::Reboot);
    if (id->product_major != 0) return holds(right);
    // Recorders of the first version know only the account byte.
    switch (right) {
    case Right::Record:
    case Right::WebSetup: return id->account == 0;
    case Right::Search:
    case Right::Download: return id->account == 0 || id->account == 2;
    default: return true;
    }
}

bool Administration::mayUsePresets() const {
    std::lock_guard lock(mutex_);
    return t_.presets[static_cast<std::size_t>(t_.user_index.value_or(0))] != 0;
}

bool Administration::channelVisible(int channel) const {
    if (channel < 0 || channel >= login_.channelCount() || channel >= static_cast<int>(kChannels)) return false;
    std::lock_guard lock(mutex_);
    return !hiddenLocked(t_, channel);
}

std::uint32_t Administration::hiddenMask() const {
    std::lock_guard lock(mutex_);
    return t_.hidden_mask;
}

std::string Administration::channelName(int channel) const {
    if (channel < 0 || channel >= static_cast<int>(kChannels)) return {};
    std::lock_guard lock(mutex_);
    return t_.titles[static_cast<std::size_t>(channel)];
}

std::uint32_t Administration::cameraMask() const {
    std::lock_guard lock(mutex_);
    if (!t_.cameras) return 0xFFFF;
    std::uint32_t mask = 0;
    for (std::size_t c = 0; c < kChannels; ++c)
        if ((*t_.cameras)[c] != 0) mask |= 1u << c;
    return mask;
}

std::vector<std::uint8_t> Administration::configBlock() const {
    std::lock_guard lock(mutex_);
    return t_.config;
}

std::vector<std::uint8_t> Administration::sysEtcInfo() const {
    std::lock_guard lock(mutex_);
    return t_.sys_etc_info;
}

std::vector<std::uint8_t> Administration::sysEtcInfoEx() const {
    std::lock_guard lock(mutex_);
    return t_.sys_etc_info_ex;
}

std::vector<std::uint8_t> Administration::dstInfo() const {
    std::lock_guard lock(mutex_);
    return t_.dst_info;
}

std::optional<std::uint32_t> Administration::dbChangeWord() const {
    std::lock_guard lock(mutex_);
    return t_.db_word;
}

std::string Administration::archivePassword() const {
    std::lock_guard lock(mutex_);
    return t_.archive_password;
}

// The hiding rule, on whatever tables are the latest: covert channels are
// hidden from users who may not see them (on the first recorders, every
// account but 0), and every channel the user may not watch live.
bool Administration::hiddenLocked(const Tables& t, int channel) const {
    const auto id = login_.identity();
    const std::uint8_t major = id ? id->product_major : 0;
    const std::uint8_t account = id ? id->account : 0;
    const bool covert_right = t.user_rights && (*t.user_rights)[static_cast<std::size_t>(Right::Covert)] != 0;
    const bool strict = (major == 0 && account != 0) || (major != 0 && !covert_right);
    const auto c = static_cast<std::size_t>(channel);
    const std::size_t slot = static_cast<std::size_t>(t.user_index.value_or(0));
    const bool live = t.netlive[slot * kNetLiveRow + c] != 0;
    return strict ? (t.covert[c] == 1 || !live) : !live;
}

bool Administration::rehideLocked() {
    const int count = std::min(login_.channelCount(), static_cast<int>(kChannels));
    std::uint32_t mask = 0;
    for (int c = 0; c < count; ++c)
        if (hiddenLocked(t_, c)) mask |= 1u << c;
    if (mask == t_.hidden_mask) return false;
    t_.hidden_mask = mask;
    return true;
}

void Administration::publishTitles() {
    std::array<std::string, 16> titles;
    std::uint32_t hidden = 0;
    {
        std::lock_guard lock(mutex_);
        titles = t_.titles;
        hidden = t_.hidden_mask;
    }
    media_.setLiveTitles(titles);
    media_.setHiddenMask(hidden);
}

// ---------------------------------------------------------------- requests

AdminSend Administration::recordButton() {
    if (!login_.hello.load()) return AdminSend::NotConnected;
    if (!mayDo(Right::Record)) {
        core_.post(Notice::fromLParam(kNotAllowed));
        return AdminSend::NotAllowed;
    }
    const auto id = login_.identity();
    const bool off = id && id->product_major != 0 && recording();
    core_.send(off ? Code::REC_OFF_REQ : Code::REC_ON_REQ);
    return AdminSend::Sent;
}

AdminSend Administration::reboot() {
    if (!login_.hello.load()) return AdminSend::NotConnected;
    if (!mayDo(Right::Reboot)) {
        core_.post(Notice::fromLParam(kNotAllowed));
        return AdminSend::NotAllowed;
    }
    core_.send(Code::REBOOT_REQ);
    return AdminSend::Sent;
}

AdminSend Administration::databaseInit() {
    if (!login_.hello.load()) return AdminSend::NotConnected;
    core_.send(Code::DB_INIT_REQ);
    std::this_thread::sleep_for(kDbInitPause);
    return AdminSend::Sent;
}

AdminSend Administration::configUpdate(std::span<const std::uint8_t> block) {
    if (!login_.hello.load()) return AdminSend::NotConnected;
    {
        std::lock_guard lock(mutex_);
        if (t_.config.empty()) return AdminSend::NoBlock;
        if (block.size() != t_.config.size()) return AdminSend::WrongSize;
    }
    // The header's length is 16 bits: a longer payload cannot be announced,
    // and cutting the length while sending the whole would put the stream
    // out of step. Nothing is sent.
    if (block.size() + 4 > kMaxUpdatePayload) return AdminSend::TooLarge;
    std::vector<std::uint8_t> payload(block.size() + 4);
    protocol::putBe32(payload.data(), protocol::crc32(block));
    std::copy(block.begin(), block.end(), payload.begin() + 4);
    config_busy_ = true;
    core_.send(Code::DB_UPDATE_REQ, payload);
    return AdminSend::Sent;
}

// ---------------------------------------------------------------- handlers

void Administration::onRecordAnswer(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    const std::uint32_t word = protocol::be32(payload.data());
    const bool on_answer = h.code() == static_cast<std::uint16_t>(Code::REC_ON_ACK);
    const bool recording = on_answer ? (word == 49 || word == 51) : !(word == 50 || word == 52);
    {
        std::lock_guard lock(mutex_);
        t_.recording = recording;
    }
    core_.post(ControlState{ControlId::Record, recording ? ButtonLook::Pressed : ButtonLook::Released});
    core_.post(AdministrationChanged{AdminChange::Recording});
    core_.post(AdminAnswer{requestOf(h.code()), true, 0, recording});
}

void Administration::onRecStatus(const MessageHeader&, std::span<const std::uint8_t> payload) {
    const auto word1 = static_cast<std::int32_t>(protocol::be32(payload.data() + 4));
    const bool recording = word1 < 6;
    {
        std::lock_guard lock(mutex_);
        t_.recording = recording;
    }
    core_.post(ControlState{ControlId::Record, recording ? ButtonLook::Pressed : ButtonLook::Released});
    core_.post(AdministrationChanged{AdminChange::Recording});
}

void Administration::onRightChange(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    const bool second = h.code() == static_cast<std::uint16_t>(Code::RIGHT_CHANGE2);
    const RightsLayout& L = second ? kRightChange2 : kRightChange;
    std::optional<std::size_t> found;
    {
        std::lock_guard lock(mutex_);
        auto& stored = second ? t_.right_change2 : t_.right_change;
        stored.clear();
        if (payload.size() != L.size) return;
        stored.assign(payload.begin(), payload.end());

        for (std::size_t row = 0; row < kRightRows; ++row)
            for (std::size_t u = 0; u < L.copied; ++u) t_.rights[row][L.first_slot + u] = payload[row * L.users + u];

        const std::string me = lowered(options_.user);
        for (std::size_t u = 0; u < L.users && !found; ++u) {
            const auto name = payload.subspan(L.names_at + u * kNameSize, kNameSize);
            if (lowered(fieldText(name)) != me) continue;
            if (payload[6 * L.users + u] != 0 && payload[8 * L.users + u] != 0) found = u;
        }
        if (found) {
            // The user's own rights come from their own slot of this
            // payload, also for the slots not copied into the tables.
            RightsRow row{};
            for (std::size_t r = 0; r < kRightRows; ++r) row[r] = payload[r * L.users + *found];
            t_.user_rights = row;
            t_.user_index = static_cast<int>(*found + L.first_slot);
            std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(L.passwords_at + *found * kNameSize), 8,
                        t_.password.begin());
        }
    }
    if (!found) {
        core_.requestEnd();
        core_.post(Notice::fromLParam(kNotAllowed));
        return;
    }

    const bool search = holds(Right::Search);
    const bool download = holds(Right::Download);
    RightsApplied applied;
    std::optional<std::uint32_t> tabs;
    if (newerRecorder()) {
        if (!search && !download) {
            applied.close_search = applied.stop_playback = applied.stop_download = true;
        } else if (!search) {
            applied.stop_playback = applied.close_search_window = true;
            tabs = 1;
        } else if (!download) {
            applied.stop_download = true;
            tabs = 2;
        } else {
            tabs = 0;
        }
    } else if (!search) {
        applied.close_search = applied.stop_playback = applied.stop_download = true;
    }
    applied.clear_remote_play = !search;
    applied.close_ptz = !holds(Right::Ptz);
    core_.post(AdministrationChanged{AdminChange::Rights});
    core_.post(applied);
    if (tabs) core_.post(WindowPost{WindowMessage::RightsChanged, Owner::RemoteSearch, *tabs, 0});

    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = rehideLocked();
    }
    if (changed) {
        publishTitles();
        core_.post(AdministrationChanged{AdminChange::Channels});
    }
}

void Administration::onNetLive(const MessageHeader&, std::span<const std::uint8_t> payload) {
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        std::copy(payload.begin(), payload.end(), t_.netlive.begin());
        changed = rehideLocked();
    }
    if (changed) publishTitles();
    core_.post(AdministrationChanged{AdminChange::Channels});
}

void Administration::onPresetRights(const MessageHeader&, std::span<const std::uint8_t> payload) {
    {
        std::lock_guard lock(mutex_);
        std::copy(payload.begin(), payload.end(), t_.presets.begin());
    }
    core_.post(AdministrationChanged{AdminChange::Rights});
}

void Administration::onDbChange(const MessageHeader&, std::span<const std::uint8_t> payload) {
    const int count = std::min(login_.channelCount(), static_cast<int>(kChannels));
    const auto id = login_.identity();
    {
        std::lock_guard lock(mutex_);
        t_.db_change.emplace(payload.begin(), payload.end());
        t_.db_word = protocol::be32(payload.data());
        std::copy_n(payload.begin() + 4, kChannels, t_.covert.begin());
        for (int c = 0; c < count; ++c)
            t_.titles[static_cast<std::size_t>(c)] =
                titleText(payload.subspan(20 + static_cast<std::size_t>(c) * kChannelTitleSize, kChannelTitleSize));
        rehideLocked();
        if (id && id->product_major == 0) std::copy_n(payload.begin() + 532, 8, t_.password.begin());
        t_.archive_password = std::string(fieldText(payload.subspan(540, 8)));
    }
    publishTitles();
    core_.post(AdministrationChanged{AdminChange::Channels});
}

void Administration::onCamInfo(const MessageHeader&, std::span<const std::uint8_t> payload) {
    {
        std::lock_guard lock(mutex_);
        t_.cameras.emplace();
        std::copy(payload.begin(), payload.end(), t_.cameras->begin());
    }
    core_.post(AdministrationChanged{AdminChange::Cameras});
}

void Administration::onStoredBlock(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    const auto code = static_cast<Code>(h.code());
    const std::size_t size = code == Code::SYS_ETC_INFO      ? kSysEtcInfoSize
                             : code == Code::SYS_ETC_INFO_EX ? kSysEtcInfoExSize
                                                             : kDstInfoSize;
    {
        std::lock_guard lock(mutex_);
        auto& stored = code == Code::SYS_ETC_INFO      ? t_.sys_etc_info
                       : code == Code::SYS_ETC_INFO_EX ? t_.sys_etc_info_ex
                                                       : t_.dst_info;
        stored.clear();
        if (payload.size() == size) stored.assign(payload.begin(), payload.end());
    }
    core_.post(AdministrationChanged{AdminChange::Blocks});
}

void Administration::onConfigBlock(const MessageHeader&, std::span<const std::uint8_t> unit) {
    // A unit shorter than its CRC word has no block to check: a wrong CRC.
    const bool good = unit.size() >= 4 && protocol::crc32(unit.subspan(4)) == protocol::be32(unit.data());
    if (!good) {
        config_busy_ = false;
        core_.post(Notice::fromLParam(kConfigurationCrc));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        t_.config.assign(unit.begin() + 4, unit.end());
    }
    core_.post(WindowPost{WindowMessage::ConfigurationStored, Owner::MainWindow, 0, 0});
    core_.post(AdministrationChanged{AdminChange::Configuration});
}

void Administration::onAnswer(const MessageHeader& h, std::span<const std::uint8_t>) {
    const AdminRequest request = requestOf(h.code());
    if (request == AdminRequest::ConfigUpdate) {
        config_busy_ = false;
        core_.post(Notice::fromLParam(kConfigurationStored));
    }
    core_.post(AdminAnswer{request, true, 0, recording()});
}

void Administration::onRefusal(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    const AdminRequest request = requestOf(h.code());
    if (request == AdminRequest::ConfigUpdate) config_busy_ = false;
    if (const auto notice = noticeForReason(h.code(), reason)) core_.post(Notice::fromLParam(*notice));
    core_.post(AdminAnswer{request, false, reason, recording()});
}

}  // namespace kalix::session
