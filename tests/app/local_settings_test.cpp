#include "app/local_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

ClientProfile profileWith(std::string date_format, std::string draw_mode) {
    ClientProfile p;
    p.folder_word = "Vista";
    p.date_format = std::move(date_format);
    p.draw_mode = std::move(draw_mode);
    return p;
}

void putByte(MemorySettingsStore& store, std::string_view key, std::uint8_t value) {
    store.writeBytes(key, std::span(&value, 1));
}

struct RecordingLog final : session::OperationLogSink {
    void write(session::LogCategory category, std::uint32_t action, std::string_view, std::string_view) override {
        entries.emplace_back(static_cast<std::uint32_t>(category), action);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
};

TEST(LocalSettings, FirstStartUsesDefaultsAndWritesNothing) {
    MemorySettingsStore store;
    const LocalSettings s = loadLocalSettings(store, ClientProfile{}, "/home/op");
    EXPECT_EQ(store.writeCount(), 0u);
    EXPECT_EQ(store.size(), 0u);

    LocalSettings expected;
    expected.location = "/home/op/Kalix";
    EXPECT_EQ(s, expected);
    EXPECT_EQ(s.hour_system, HourSystem::TwentyFourHour);
    EXPECT_EQ(s.alpha(OpacitySlot::NoticeBox), 255);
    EXPECT_EQ(s.audioDepth(AudioBufferSlot::LocalPlayback), 40u);
    EXPECT_TRUE(s.lineDoubling(0));
    EXPECT_TRUE(s.lineDoubling(15));
    EXPECT_FALSE(s.lineDoubling(16));
}

TEST(LocalSettings, ProfileGivesDateFormatAndDrawModeIgnoringCase) {
    MemorySettingsStore store;
    const LocalSettings s = loadLocalSettings(store, profileWith("dd-mm-yyyy", "rgb"), "/home/op/");
    EXPECT_EQ(s.date_format, DateFormat::DayMonthYear);
    EXPECT_EQ(s.draw_mode, DrawMode::Rgb);
    EXPECT_EQ(s.location, "/home/op/Vista");

    // A stored value wins over the profile.
    store.writeNumber("LocalSetup/DateFormat/DateFormat", 1);
    store.writeNumber("LocalSetup/DrawMode/DrawMode", 0);
    const LocalSettings stored = loadLocalSettings(store, profileWith("DD-MM-YYYY", "RGB"), "/home/op");
    EXPECT_EQ(stored.date_format, DateFormat::MonthDayYear);
    EXPECT_EQ(stored.draw_mode, DrawMode::Yuv);
}

TEST(LocalSettings, SaveWritesEveryKeyAndLoadReadsItBack) {
    LocalSettings s;
    s.draw_mode = DrawMode::Rgb;
    s.date_format = DateFormat::MonthDayYear;
    s.save_format = SaveFormat::Tiff;
    s.location = "/srv/kalix";
    s.deinterlace[3] = 1;
    s.hour_system = HourSystem::TwelveHour;
    s.watermark = true;
    s.opacity[8] = 180;
    s.audio_buffer = {2, 17, 64};

    MemorySettingsStore store;
    ASSERT_TRUE(saveLocalSettings(store, s, StorageMode::Writable));
    EXPECT_EQ(store.size(), 6u + 9u + 3u + 16u);
    EXPECT_EQ(store.readNumber("LocalSetup/SaveFormat/SaveFormat"), 2u);
    EXPECT_EQ(store.readText("LocalSetup/Location/Location"), "/srv/kalix");
    EXPECT_EQ(store.readBytes("LocalSetup/Opacity/09/09"), std::vector<std::uint8_t>{180});
    EXPECT_EQ(store.readBytes("LocalSetup/AudioBuf/02/02"), std::vector<std::uint8_t>{17});
    EXPECT_EQ(store.readBytes("LocalSetup/Deinterlace/04/04"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(store.readNumber("LocalSetup/HourSystem/HourSystem"), 0u);
    EXPECT_EQ(store.readNumber("LocalSetup/Watermark/Watermark"), 1u);

    EXPECT_EQ(loadLocalSettings(store, ClientProfile{}, "/home/op"), s);
    EXPECT_FALSE(loadLocalSettings(store, ClientProfile{}, "/home/op").lineDoubling(3));
}

TEST(LocalSettings, ValuesOutsideTheirRangeTakeTheirDefaults) {
    MemorySettingsStore store;
    store.writeNumber("LocalSetup/DrawMode/DrawMode", 7);
    store.writeNumber("LocalSetup/DateFormat/DateFormat", 3);
    store.writeText("LocalSetup/SaveFormat/SaveFormat", "1");  // wrong type
    store.writeText("LocalSetup/Location/Location", "");
    store.writeNumber("LocalSetup/Watermark/Watermark", 2);
    putByte(store, "LocalSetup/Opacity/01/01", 10);     // would hide the window
    putByte(store, "LocalSetup/AudioBuf/01/01", 0);
    putByte(store, "LocalSetup/AudioBuf/02/02", 200);
    putByte(store, "LocalSetup/Deinterlace/02/02", 5);  // any non-zero: left as decoded
    store.writeBytes("LocalSetup/Opacity/02/02", std::vector<std::uint8_t>{150, 9, 9});  // first byte counts

    const LocalSettings s = loadLocalSettings(store, profileWith("MM-DD-YYYY", "RGB"), "/home/op");
    EXPECT_EQ(s.draw_mode, DrawMode::Rgb);
    EXPECT_EQ(s.date_format, DateFormat::MonthDayYear);
    EXPECT_EQ(s.save_format, SaveFormat::Jpeg);
    EXPECT_EQ(s.location, "/home/op/Vista");
    EXPECT_FALSE(s.watermark);
    EXPECT_EQ(s.opacity[0], 255);
    EXPECT_EQ(s.opacity[1], 150);
    EXPECT_EQ(s.audio_buffer[0], 2);
    EXPECT_EQ(s.audio_buffer[1], 2);
    EXPECT_EQ(s.deinterlace[1], 1);

    store.writeText("LocalSetup/Location/Location", std::string(kLocationCapacity + 1, 'x'));
    EXPECT_EQ(loadLocalSettings(store, ClientProfile{}, "/h").location, "/h/Kalix");
}

TEST(LocalSettings, SavingRaisesSmallAudioBuffersAndNeverWritesFromACd) {
    LocalSettings s;
    s.audio_buffer = {0, 1, 3};
    MemorySettingsStore store;
    EXPECT_FALSE(saveLocalSettings(store, s, StorageMode::ReadOnlyMedium));
    EXPECT_EQ(store.writeCount(), 0u);

    ASSERT_TRUE(saveLocalSettings(store, s, StorageMode::Writable));
    EXPECT_EQ(store.readBytes("LocalSetup/AudioBuf/01/01"), std::vector<std::uint8_t>{2});
    EXPECT_EQ(store.readBytes("LocalSetup/AudioBuf/02/02"), std::vector<std::uint8_t>{2});
    EXPECT_EQ(store.readBytes("LocalSetup/AudioBuf/03/03"), std::vector<std::uint8_t>{3});
}

TEST(LocalSettings, DatesFollowTheChosenFormat) {
    EXPECT_EQ(formatDate(DateFormat::YearMonthDay, 2024, 3, 7), "2024-03-07");
    EXPECT_EQ(formatDate(DateFormat::MonthDayYear, 2024, 3, 7), "03-07-2024");
    EXPECT_EQ(formatDate(DateFormat::DayMonthYear, 2024, 3, 7), "07-03-2024");
}

// ---------------------------------------------------------------- editing

TEST(LocalSetupModel, CheckedRowsFollowOnlyACheckedRow) {
    LocalSetupModel model(LocalSettings{}, StorageMode::Writable, DrawModeRow::Enabled);

    // Nothing checked: only the moved slot changes.
    EXPECT_EQ(model.moveOpacity(2, 150), 150);
    EXPECT_EQ(model.copy().opacity, (std::array<std::uint8_t, 9>{255, 255, 150, 255, 255, 255, 255, 255, 255}));

    // Others checked but not the moved row: they do not follow.
    model.setChecked(LinkedPage::Opacity, 0, true);
    model.setChecked(LinkedPage::Opacity, 5, true);
    model.moveOpacity(2, 120);
    EXPECT_EQ(model.copy().opacity[0], 255);
    EXPECT_EQ(model.copy().opacity[2], 120);

    // The moved row checked: every checked row takes its value.
    model.setChecked(LinkedPage::Opacity, 2, true);
    model.moveOpacity(2, 200);
    EXPECT_EQ(model.copy().opacity, (std::array<std::uint8_t, 9>{200, 255, 200, 255, 255, 200, 255, 255, 255}));

    model.checkAll(LinkedPage::Opacity);
    EXPECT_EQ(model.moveOpacity(8, 20), kMinOpacity);  // the slider stops at 100
    EXPECT_EQ(model.copy().opacity, (std::array<std::uint8_t, 9>{100, 100, 100, 100, 100, 100, 100, 100, 100}));
    model.clearAll(LinkedPage::Opacity);
    model.moveOpacity(0, 255);
    EXPECT_EQ(model.copy().opacity[1], 100);

    // Pages keep their own check boxes.
    EXPECT_FALSE(model.checked(LinkedPage::AudioBuffer, 0));
    model.moveOpacity(99, 150);  // no such row: nothing happens
    EXPECT_FALSE(model.checked(LinkedPage::Opacity, 99));
}

TEST(LocalSetupModel, AudioBufferSliderBelowTwoStoresTwo) {
    LocalSetupModel model(LocalSettings{}, StorageMode::Writable, DrawModeRow::Enabled);
    model.setChecked(LinkedPage::AudioBuffer, 0, true);
    model.setChecked(LinkedPage::AudioBuffer, 2, true);
    EXPECT_EQ(model.moveAudioBuffer(0, 40), 40);
    EXPECT_EQ(model.copy().audio_buffer, (std::array<std::uint8_t, 3>{40, 2, 40}));
    EXPECT_EQ(model.moveAudioBuffer(1, 0), 2);
    EXPECT_EQ(model.moveAudioBuffer(2, 1), 2);
    EXPECT_EQ(model.copy().audio_buffer, (std::array<std::uint8_t, 3>{2, 2, 2}));
    EXPECT_EQ(model.moveAudioBuffer(1, 65), kMaxAudioBuffer);
}

TEST(LocalSetupModel, DeinterlaceOnMeansLineDoublingAndFollowsCheckedRows) {
    LocalSetupModel model(LocalSettings{}, StorageMode::Writable, DrawModeRow::Enabled);
    EXPECT_TRUE(model.deinterlaceOn(0));
    model.setChecked(LinkedPage::Deinterlace, 0, true);
    model.setChecked(LinkedPage::Deinterlace, 15, true);
    model.setDeinterlace(15, false);
    EXPECT_EQ(model.copy().deinterlace[0], 1);
    EXPECT_EQ(model.copy().deinterlace[15], 1);
    EXPECT_EQ(model.copy().deinterlace[1], 0);
    EXPECT_FALSE(model.deinterlaceOn(0));
    model.setDeinterlace(0, true);
    EXPECT_TRUE(model.copy().lineDoubling(15));
}

TEST(LocalSetupModel, LockedRowsRefuseChanges) {
    LocalSettings live;
    live.location = "/home/op/Kalix";
    LocalSetupModel cd(live, StorageMode::ReadOnlyMedium, DrawModeRow::Disabled);
    EXPECT_FALSE(cd.locationShown());
    EXPECT_EQ(cd.copy().location, "");
    EXPECT_FALSE(cd.setLocation("/tmp/x"));
    EXPECT_FALSE(cd.setDrawMode(DrawMode::Rgb));  // the wall is showing something
    EXPECT_EQ(cd.copy().draw_mode, DrawMode::Yuv);

    LocalSetupModel disk(live, StorageMode::Writable, DrawModeRow::Enabled);
    EXPECT_FALSE(disk.setLocation(""));  // the folder browser was cancelled
    EXPECT_FALSE(disk.setLocation(std::string(kLocationCapacity + 1, 'a')));
    EXPECT_EQ(disk.copy().location, "/home/op/Kalix");
    EXPECT_TRUE(disk.setLocation("/srv/video"));
    EXPECT_TRUE(disk.setDrawMode(DrawMode::Rgb));
    disk.reset(live);
    EXPECT_EQ(disk.copy(), live);
}

TEST(LocalSetupModel, OkSavesCreatesUpgradeFolderAndLogsOnlyOnAFixedDisk) {
    const fs::path dir = fs::path(::testing::TempDir()) / "kalix_local_setup_test";
    fs::remove_all(dir);
    LocalSettings live;
    live.location = (dir / "store").string();

    LocalSetupModel model(live, StorageMode::Writable, DrawModeRow::Enabled);
    model.setDrawMode(DrawMode::Rgb);
    model.setSaveFormat(SaveFormat::Bmp);
    const LocalSetupOutcome outcome = acceptLocalSetup(live, model.copy(), StorageMode::Writable);
    EXPECT_EQ(outcome, (LocalSetupOutcome{true, true, true, true}));
    EXPECT_EQ(live.draw_mode, DrawMode::Rgb);
    EXPECT_EQ(live.save_format, SaveFormat::Bmp);

    MemorySettingsStore store;
    RecordingLog log;
    EXPECT_TRUE(finishLocalSetup(outcome, live, store, &log));
    EXPECT_EQ(store.readNumber("LocalSetup/DrawMode/DrawMode"), 1u);
    EXPECT_TRUE(fs::is_directory(dir / "store" / "Upgrade"));
    EXPECT_EQ(log.entries, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{8, 1}}));

    // Unchanged draw mode: no new wall.
    EXPECT_FALSE(acceptLocalSetup(live, live, StorageMode::Writable).rebuild_wall);

    // From a CD: values taken over, the location kept, nothing else.
    LocalSetupModel cd(live, StorageMode::ReadOnlyMedium, DrawModeRow::Enabled);
    cd.moveOpacity(0, 130);
    LocalSettings cd_live = live;
    const LocalSetupOutcome cd_outcome = acceptLocalSetup(cd_live, cd.copy(), StorageMode::ReadOnlyMedium);
    EXPECT_EQ(cd_outcome, (LocalSetupOutcome{false, false, false, false}));
    EXPECT_EQ(cd_live.opacity[0], 130);
    EXPECT_EQ(cd_live.location, live.location);
    MemorySettingsStore untouched;
    EXPECT_TRUE(finishLocalSetup(cd_outcome, cd_live, untouched, &log));
    EXPECT_EQ(untouched.writeCount(), 0u);
    EXPECT_EQ(log.entries.size(), 1u);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kalix::app
