#include "ui/qt_settings_store.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/client_profile.h"
#include "app/local_settings.h"

namespace kalix::ui {
namespace {

// Every QSettings of the user scope goes to a temporary folder, never to the
// real home.
class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    }
    QTemporaryDir dir_;
};

TEST_F(QtSettingsStoreTest, ValuesComeBackWithTheirTypesUnderTheirPaths) {
    {
        QtSettingsStore store;
        EXPECT_TRUE(store.fileName().startsWith(dir_.path()));
        store.writeNumber("IPSetup/ServerIP/Port", 65534);
        store.writeText("IPSetup/ServerIP/IP", "dvr.example");
        const std::uint8_t alpha[] = {180};
        store.writeBytes("LocalSetup/Opacity/09/09", alpha);
        store.writeBytes("LocalSetup/Deinterlace/01/01", std::vector<std::uint8_t>{0});
        ASSERT_TRUE(store.sync());
    }
    QtSettingsStore store;
    EXPECT_EQ(store.readNumber("IPSetup/ServerIP/Port"), 65534u);
    EXPECT_EQ(store.readText("IPSetup/ServerIP/IP"), "dvr.example");
    EXPECT_EQ(store.readBytes("LocalSetup/Opacity/09/09"), std::vector<std::uint8_t>{180});
    EXPECT_EQ(store.readBytes("LocalSetup/Deinterlace/01/01"), std::vector<std::uint8_t>{0});
    // A value of another type reads as missing.
    EXPECT_EQ(store.readNumber("LocalSetup/Opacity/09/09"), std::nullopt);
    EXPECT_EQ(store.readBytes("IPSetup/ServerIP/IP"), std::nullopt);
    EXPECT_EQ(store.readNumber("IPSetup/ServerIP/IP"), std::nullopt);
    EXPECT_FALSE(store.contains("LocalSetup/DrawMode/DrawMode"));

    // The same file as any QSettings of the organisation and application.
    QSettings plain("Vorn", "Kalix");
    EXPECT_EQ(plain.value("IPSetup/ServerIP/IP").toString(), "dvr.example");

    store.remove("IPSetup/ServerIP/Port");
    EXPECT_FALSE(store.contains("IPSetup/ServerIP/Port"));
}

TEST_F(QtSettingsStoreTest, LocalSettingsSurviveARestart) {
    app::LocalSettings s;
    s.draw_mode = app::DrawMode::Rgb;
    s.location = "/srv/kälix";
    s.audio_buffer = {2, 30, 64};
    s.deinterlace[7] = 1;
    {
        QtSettingsStore store;
        ASSERT_TRUE(app::saveLocalSettings(store, s, app::StorageMode::Writable));
    }
    QtSettingsStore store;
    EXPECT_EQ(app::loadLocalSettings(store, app::ClientProfile{}, "/home/op"), s);
}

}  // namespace
}  // namespace kalix::ui
