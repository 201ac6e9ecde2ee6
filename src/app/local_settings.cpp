#include "app/local_settings.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <system_error>

namespace kalix::app {
namespace {

constexpr std::string_view kDrawModeKey = "LocalSetup/DrawMode/DrawMode";
constexpr std::string_view kDateFormatKey = "LocalSetup/DateFormat/DateFormat";
constexpr std::string_view kSaveFormatKey = "LocalSetup/SaveFormat/SaveFormat";
constexpr std::string_view kLocationKey = "LocalSetup/Location/Location";
constexpr std::string_view kHourSystemKey = "LocalSetup/HourSystem/HourSystem";
constexpr std::string_view kWatermarkKey = "LocalSetup/Watermark/Watermark";

// "LocalSetup/<group>/<nn>/<nn>" with the 1-based slot number.
std::string slotKey(std::string_view group, std::size_t index) {
    char number[8];
    std::snprintf(number, sizeof number, "%02zu", index + 1);
    std::string key = "LocalSetup/";
    key.append(group).append("/").append(number).append("/").append(number);
    return key;
}

// A number within 0..last, or nothing.
std::optional<std::uint32_t> readChoice(const SettingsStore& store, std::string_view key, std::uint32_t last) {
    const auto value = store.readNumber(key);
    if (!value || *value > last) return std::nullopt;
    return value;
}

// The first byte of a byte value, or nothing.
std::optional<std::uint8_t> readByte(const SettingsStore& store, const std::string& key) {
    const auto bytes = store.readBytes(key);
    if (!bytes || bytes->empty()) return std::nullopt;
    return bytes->front();
}

void writeByte(SettingsStore& store, const std::string& key, std::uint8_t value) {
    store.writeBytes(key, std::span(&value, 1));
}

std::uint8_t clampByte(int value, std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint8_t>(std::clamp(value, int{low}, int{high}));
}

std::size_t pageIndex(LinkedPage page) { return static_cast<std::size_t>(page); }

}  // namespace

bool LocalSettings::lineDoubling(int channel) const {
    if (channel < 0 || channel >= static_cast<int>(kDeinterlaceChannels)) return false;
    return deinterlace[static_cast<std::size_t>(channel)] == 0;
}

std::string formatDate(DateFormat format, int year, int month, int day) {
    char text[40];
    switch (format) {
        case DateFormat::MonthDayYear:
            std::snprintf(text, sizeof text, "%02d-%02d-%04d", month, day, year);
            break;
        case DateFormat::DayMonthYear:
            std::snprintf(text, sizeof text, "%02d-%02d-%04d", day, month, year);
            break;
        case DateFormat::YearMonthDay:
        default:
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
            break;
    }
    return text;
}

std::string defaultLocation(std::string_view home, const ClientProfile& profile) {
    std::string location(home);
    if (location.empty() || location.back() != '/') location.push_back('/');
    location += profile.folder_word;
    return location;
}

LocalSettings loadLocalSettings(const SettingsStore& store, const ClientProfile& profile, std::string_view home) {
    LocalSettings s;
    s.draw_mode = static_cast<DrawMode>(readChoice(store, kDrawModeKey, 1).value_or(
        static_cast<std::uint32_t>(profile.defaultDrawMode())));
    s.date_format = static_cast<DateFormat>(readChoice(store, kDateFormatKey, 2).value_or(
        static_cast<std::uint32_t>(profile.defaultDateFormat())));
    s.save_format = static_cast<SaveFormat>(readChoice(store, kSaveFormatKey, 2).value_or(0));

    // An empty location would put the client's folders at the root of the
    // file system; a longer one than the field holds is unreadable.
    const auto location = store.readText(kLocationKey);
    if (location && !location->empty() && location->size() <= kLocationCapacity) {
        s.location = *location;
    } else {
        s.location = defaultLocation(home, profile);
    }

    for (std::size_t i = 0; i < kOpacitySlots; ++i) {
        const auto alpha = readByte(store, slotKey("Opacity", i));
        s.opacity[i] = (alpha && *alpha >= kMinOpacity) ? *alpha : kOpaque;
    }
    for (std::size_t i = 0; i < kAudioBufferSlots; ++i) {
        const auto depth = readByte(store, slotKey("AudioBuf", i));
        s.audio_buffer[i] = (depth && *depth >= kMinAudioBuffer && *depth <= kMaxAudioBuffer) ? *depth
                                                                                            : kMinAudioBuffer;
    }
    // Pictures are left as decoded for any non-zero byte; keep it 0 or 1.
    for (std::size_t i = 0; i < kDeinterlaceChannels; ++i) {
        const auto on = readByte(store, slotKey("Deinterlace", i));
        s.deinterlace[i] = (on && *on != 0) ? 1 : 0;
    }
    s.hour_system = static_cast<HourSystem>(readChoice(store, kHourSystemKey, 1).value_or(1));
    s.watermark = readChoice(store, kWatermarkKey, 1).value_or(0) == 1;
    return s;
}

bool saveLocalSettings(SettingsStore& store, const LocalSettings& s, StorageMode storage) {
    if (storage == StorageMode::ReadOnlyMedium) return false;
    store.writeNumber(kDrawModeKey, static_cast<std::uint32_t>(s.draw_mode));
    store.writeNumber(kDateFormatKey, static_cast<std::uint32_t>(s.date_format));
    store.writeNumber(kSaveFormatKey, static_cast<std::uint32_t>(s.save_format));
    store.writeText(kLocationKey, s.location);
    for (std::size_t i = 0; i < kOpacitySlots; ++i) writeByte(store, slotKey("Opacity", i), s.opacity[i]);
    for (std::size_t i = 0; i < kAudioBufferSlots; ++i) {
        writeByte(store, slotKey("AudioBuf", i), std::max(s.audio_buffer[i], kMinAudioBuffer));
    }
    for (std::size_t i = 0; i < kDeinterlaceChannels; ++i) {
        writeByte(store, slotKey("Deinterlace", i), s.deinterlace[i]);
    }
    store.writeNumber(kHourSystemKey, static_cast<std::uint32_t>(s.hour_system));
    store.writeNumber(kWatermarkKey, s.watermark ? 1u : 0u);
    return store.sync();
}

std::filesystem::path upgradeFolder(const LocalSettings& settings) {
    return std::filesystem::path(settings.location) / "Upgrade";
}

// ---------------------------------------------------------------- editing

std::size_t linkedRows(LinkedPage page) {
    switch (page) {
        case LinkedPage::Opacity: return kOpacitySlots;
        case LinkedPage::AudioBuffer: return kAudioBufferSlots;
        case LinkedPage::Deinterlace: return kDeinterlaceChannels;
    }
    return 0;
}

LocalSetupModel::LocalSetupModel(const LocalSettings& live, StorageMode storage, DrawModeRow draw_mode_row)
    : storage_(storage), draw_mode_row_(draw_mode_row) {
    reset(live);
}

void LocalSetupModel::reset(const LocalSettings& live) {
    copy_ = live;
    if (storage_ == StorageMode::ReadOnlyMedium) copy_.location.clear();
}

bool LocalSetupModel::setDrawMode(DrawMode mode) {
    if (!drawModeEditable()) return false;
    copy_.draw_mode = mode;
    return true;
}

bool LocalSetupModel::setLocation(std::string_view path) {
    if (!locationShown() || path.empty() || path.size() > kLocationCapacity) return false;
    copy_.location = path;
    return true;
}

bool LocalSetupModel::checked(LinkedPage page, std::size_t row) const {
    return row < linkedRows(page) && checks_[pageIndex(page)][row];
}

void LocalSetupModel::setChecked(LinkedPage page, std::size_t row, bool on) {
    if (row < linkedRows(page)) checks_[pageIndex(page)][row] = on;
}

void LocalSetupModel::checkAll(LinkedPage page) {
    for (std::size_t row = 0; row < linkedRows(page); ++row) checks_[pageIndex(page)][row] = true;
}

void LocalSetupModel::clearAll(LinkedPage page) { checks_[pageIndex(page)].fill(false); }

template <std::size_t N>
void LocalSetupModel::setLinked(LinkedPage page, std::array<std::uint8_t, N>& values, std::size_t row,
                                std::uint8_t value) {
    if (row >= N) return;
    values[row] = value;
    if (!checked(page, row)) return;
    for (std::size_t other = 0; other < N; ++other) {
        if (checked(page, other)) values[other] = value;
    }
}

std::uint8_t LocalSetupModel::moveOpacity(std::size_t row, int value) {
    const std::uint8_t alpha = clampByte(value, kMinOpacity, kOpaque);
    setLinked(LinkedPage::Opacity, copy_.opacity, row, alpha);
    return alpha;
}

std::uint8_t LocalSetupModel::moveAudioBuffer(std::size_t row, int value) {
    const std::uint8_t depth = clampByte(value, kMinAudioBuffer, kMaxAudioBuffer);
    setLinked(LinkedPage::AudioBuffer, copy_.audio_buffer, row, depth);
    return depth;
}

void LocalSetupModel::setDeinterlace(std::size_t row, bool on) {
    setLinked(LinkedPage::Deinterlace, copy_.deinterlace, row, on ? std::uint8_t{0} : std::uint8_t{1});
}

bool LocalSetupModel::deinterlaceOn(std::size_t row) const {
    return row < kDeinterlaceChannels && copy_.deinterlace[row] == 0;
}

// ---------------------------------------------------------------- OK

LocalSetupOutcome acceptLocalSetup(LocalSettings& live, const LocalSettings& copy, StorageMode storage) {
    LocalSetupOutcome outcome;
    outcome.rebuild_wall = copy.draw_mode != live.draw_mode;

    std::string location = std::move(live.location);
    live = copy;
    // In CD mode the copy has no location; the live one stays.
    if (storage == StorageMode::ReadOnlyMedium || copy.location.empty()) live.location = std::move(location);
    for (auto& depth : live.audio_buffer) depth = std::max(depth, kMinAudioBuffer);

    const bool writable = storage == StorageMode::Writable;
    outcome.save = writable;
    outcome.make_upgrade_folder = writable;
    outcome.log_change = writable;
    return outcome;
}

bool finishLocalSetup(const LocalSetupOutcome& outcome, const LocalSettings& live, SettingsStore& store,
                      session::OperationLogSink* log) {
    bool saved = true;
    if (outcome.save) saved = saveLocalSettings(store, live, StorageMode::Writable);
    if (outcome.make_upgrade_folder) {
        std::error_code ec;
        std::filesystem::create_directories(upgradeFolder(live), ec);
    }
    if (outcome.log_change && saved && log != nullptr) {
        log->write(session::LogCategory::Local, kLocalSettingsChanged, {}, {});
    }
    return saved;
}

}  // namespace kalix::app
