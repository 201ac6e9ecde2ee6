#pragma once
// The operator's local preferences: drawing path, date and picture formats,
// the storage folder, window opacities, audio buffer depths, per-channel
// deinterlacing, clock style and the watermark check.
//
// The main window loads them once at start-up, everyone else reads the
// main window's copy, and the local setup dialog edits a second copy
// (LocalSetupModel) that OK hands back through acceptLocalSetup().
//
// The store keeps one value per key under "LocalSetup/": numbers for the
// draw mode, date and save formats, hour system and watermark; a text for
// the location; one byte for each opacity slot ("Opacity/01/01" ..
// "Opacity/09/09"), audio buffer ("AudioBuf/01/01" .. "AudioBuf/03/03") and
// channel's deinterlace switch ("Deinterlace/01/01" .. "Deinterlace/16/16").

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/client_profile.h"
#include "app/operation_log.h"
#include "app/settings_store.h"
#include "session/operation_log_sink.h"

namespace kalix::app {

inline constexpr std::size_t kOpacitySlots = 9;
inline constexpr std::size_t kAudioBufferSlots = 3;
inline constexpr std::size_t kDeinterlaceChannels = 16;
inline constexpr std::size_t kLocationCapacity = 259;

inline constexpr std::uint8_t kOpaque = 255;
inline constexpr std::uint8_t kMinOpacity = 100;
inline constexpr std::uint8_t kMinAudioBuffer = 2;
inline constexpr std::uint8_t kMaxAudioBuffer = 64;
// The colour that layered pop-up windows leave transparent (magenta).
inline constexpr std::uint32_t kTransparentColourKey = 0xFF00FF;

enum class SaveFormat : std::uint8_t { Jpeg = 0, Bmp = 1, Tiff = 2 };
enum class HourSystem : std::uint8_t { TwelveHour = 0, TwentyFourHour = 1 };

// The window family that applies each opacity slot when it is shown.
// Slots 3 and 8 are edited and stored but no window uses them.
enum class OpacitySlot : std::uint8_t {
    ConnectDialog = 1,
    RemoteSearch = 2,
    Unused3 = 3,
    LocalSearch = 4,
    LocalSetup = 5,
    PtzAndEventBar = 6,
    FirmwareUpgrade = 7,
    Unused8 = 8,
    NoticeBox = 9,
};

enum class AudioBufferSlot : std::uint8_t { Live = 1, RemotePlayback = 2, LocalPlayback = 3 };

struct LocalSettings {
    DrawMode draw_mode = DrawMode::Yuv;
    DateFormat date_format = DateFormat::YearMonthDay;
    SaveFormat save_format = SaveFormat::Jpeg;
    std::string location;  // at most kLocationCapacity characters
    // Per channel 0..15: 0 = 480- and 576-line pictures are line-doubled
    // (the page shows "On"), 1 = pictures are left as decoded ("Off").
    std::array<std::uint8_t, kDeinterlaceChannels> deinterlace{};
    HourSystem hour_system = HourSystem::TwentyFourHour;
    bool watermark = false;  // verify watermarks during local playback
    std::array<std::uint8_t, kOpacitySlots> opacity{kOpaque, kOpaque, kOpaque, kOpaque, kOpaque,
                                                    kOpaque, kOpaque, kOpaque, kOpaque};
    std::array<std::uint8_t, kAudioBufferSlots> audio_buffer{kMinAudioBuffer, kMinAudioBuffer, kMinAudioBuffer};

    std::uint8_t alpha(OpacitySlot slot) const { return opacity[static_cast<std::size_t>(slot) - 1]; }
    std::uint8_t audioBuffer(AudioBufferSlot slot) const {
        return audio_buffer[static_cast<std::size_t>(slot) - 1];
    }
    // The depth, in blocks, of the audio thread fed by `slot`.
    std::uint32_t audioDepth(AudioBufferSlot slot) const { return 4u * audioBuffer(slot) + 32u; }
    // Whether channel 0..15 gets line doubling; false for other numbers.
    bool lineDoubling(int channel) const;

    friend bool operator==(const LocalSettings&, const LocalSettings&) = default;
};

// "%04d-%02d-%02d" year first, or "%02d-%02d-%04d" with month or day first.
std::string formatDate(DateFormat format, int year, int month, int day);

// The storage folder when the store holds none: the home folder followed by
// the profile's folder word.
std::string defaultLocation(std::string_view home, const ClientProfile& profile);

// Reads every value; a missing one, or one outside its range, takes its
// default (the draw mode and date format from the profile, the location
// from defaultLocation()). Nothing is written, not even on first start.
LocalSettings loadLocalSettings(const SettingsStore& store, const ClientProfile& profile, std::string_view home);

// Writes every value in the order of loading and syncs the store. On a
// read-only medium nothing is written and the result is false. Audio buffer
// values below 2 are written as 2.
bool saveLocalSettings(SettingsStore& store, const LocalSettings& settings, StorageMode storage);

// The folder the firmware files are looked for in: location/Upgrade.
std::filesystem::path upgradeFolder(const LocalSettings& settings);

// ---------------------------------------------------------------- editing

// The pages whose rows carry a check box; a change to a checked row is
// applied to every checked row of the page.
enum class LinkedPage : std::uint8_t { Opacity, AudioBuffer, Deinterlace };
enum class DrawModeRow : std::uint8_t { Enabled, Disabled };  // Disabled while the wall shows anything

std::size_t linkedRows(LinkedPage page);

// The local setup dialog's copy of the settings and its check boxes. Rows
// are 0-based; a row number out of range is ignored.
class LocalSetupModel {
public:
    // In CD mode the copy's location is empty and cannot be set.
    LocalSetupModel(const LocalSettings& live, StorageMode storage, DrawModeRow draw_mode_row);

    const LocalSettings& copy() const { return copy_; }
    // Cancel or Close: back to the live values. The check boxes stay.
    void reset(const LocalSettings& live);

    bool locationShown() const { return storage_ == StorageMode::Writable; }
    bool drawModeEditable() const { return draw_mode_row_ == DrawModeRow::Enabled; }

    // Global page. setDrawMode is refused while the row is disabled;
    // setLocation in CD mode, for an empty path (the browser was cancelled)
    // and for a path longer than kLocationCapacity.
    bool setDrawMode(DrawMode mode);
    void setDateFormat(DateFormat format) { copy_.date_format = format; }
    void setSaveFormat(SaveFormat format) { copy_.save_format = format; }
    bool setLocation(std::string_view path);
    void setHourSystem(HourSystem system) { copy_.hour_system = system; }
    void setWatermark(bool on) { copy_.watermark = on; }

    bool checked(LinkedPage page, std::size_t row) const;
    void setChecked(LinkedPage page, std::size_t row, bool on);
    void checkAll(LinkedPage page);
    void clearAll(LinkedPage page);

    // The slider of `row` moved to `value`. The opacity is kept within
    // 100..255, the audio buffer within 2..64 (0 and 1 become 2). Returns the
    // value stored.
    std::uint8_t moveOpacity(std::size_t row, int value);
    std::uint8_t moveAudioBuffer(std::size_t row, int value);
    // On: line doubling (byte 0); Off: left as decoded (byte 1).
    void setDeinterlace(std::size_t row, bool on);
    bool deinterlaceOn(std::size_t row) const;

private:
    template <std::size_t N>
    void setLinked(LinkedPage page, std::array<std::uint8_t, N>& values, std::size_t row, std::uint8_t value);

    LocalSettings copy_;
    StorageMode storage_;
    DrawModeRow draw_mode_row_;
    std::array<std::array<bool, kDeinterlaceChannels>, 3> checks_{};
};

// What OK asks of the main window once the copy is back in the live block.
struct LocalSetupOutcome {
    bool rebuild_wall = false;        // the draw mode changed: a new wall with live.draw_mode
    bool save = false;                // saveLocalSettings()
    bool make_upgrade_folder = false;  // upgradeFolder(), with its parents
    bool log_change = false;          // operation log entry (8, 1)
    friend bool operator==(const LocalSetupOutcome&, const LocalSetupOutcome&) = default;
};

// OK of the local setup dialog: copies the edited values into `live` (the
// location only outside CD mode) and says what else has to happen.
LocalSetupOutcome acceptLocalSetup(LocalSettings& live, const LocalSettings& copy, StorageMode storage);

// The store, folder and log part of an outcome. The log entry is written
// only when the settings reached the store. Returns whether they did (true
// when nothing had to be saved).
bool finishLocalSetup(const LocalSetupOutcome& outcome, const LocalSettings& live, SettingsStore& store,
                      session::OperationLogSink* log);

inline constexpr std::uint32_t kLocalSettingsChanged = 1;  // action of category Local

}  // namespace kalix::app
