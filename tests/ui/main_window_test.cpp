// The main window against a simulated recorder in the same process: the
// skinned buttons follow the controller's model, presses reach the
// recorder, the notice box rule, full screen and back, the volume slider.
#include "ui/main_window.h"

#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "sim_main_window.h"
#include "ui/widgets/full_screen_bar.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_slider.h"
#include "ui/widgets/video_wall_widget.h"

namespace kalix::ui {
namespace {

using app::ControlId;

using test::waitFor;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.channel_num = 4;
        config.video.enabled = true;
        config.video.frames_per_second.fill(5);
        app::ProgramVersion version;
        version.parts = {1, 2, 3, 4};
        ASSERT_TRUE(rig_.start(std::move(config), nullptr, version));
        store_ = rig_.settings;
        ASSERT_TRUE(rig_.waitForLive());
    }
    void click(ControlId control) { QTest::mouseClick(window_->button(control), Qt::LeftButton); }

    test::SimMainWindow rig_;
    QTemporaryDir& home_ = rig_.home;
    app::MemorySettingsStore* store_ = nullptr;  // owned by the window
    std::unique_ptr<sim::RecorderSim>& recorder_ = rig_.recorder;
    std::unique_ptr<MainWindow>& window_ = rig_.window;
};

TEST_F(MainWindowTest, SplitAndChannelButtonsShowTheChosenOnePressed) {
    EXPECT_TRUE(window_->button(app::splitButton(8))->shownPressed());  // 16 panes at start
    click(app::splitButton(1));
    EXPECT_EQ(window_->wall().view().layout(), app::kSplitLayouts[1]);
    EXPECT_TRUE(window_->button(app::splitButton(1))->shownPressed());
    EXPECT_FALSE(window_->button(app::splitButton(8))->shownPressed());

    click(app::channelButton(2));
    EXPECT_EQ(window_->wall().view().visibleChannels(), 1u << 2);
    EXPECT_TRUE(window_->button(app::channelButton(2))->shownPressed());
    EXPECT_FALSE(window_->button(app::channelButton(0))->shownPressed());
    // The recorder is told to send only that channel.
    EXPECT_TRUE(recorder_->waitUntil(
        [](const std::vector<sim::ReceivedMessage>& messages) {
            for (auto it = messages.rbegin(); it != messages.rend(); ++it)
                if (it->name == "LIVE_REQ" && it->payload.size() == 4)
                    return it->payload == std::vector<std::uint8_t>{0, 0, 0, 1u << 2};
            return false;
        },
        std::chrono::seconds(5)));
}

// The connection went through the connect dialog's path: the address and
// port are in the settings and the recorder in the history file, under the
// storage folder the settings name (home + the profile's folder word).
TEST_F(MainWindowTest, ConnectingLeavesTheSettingsAndHistoryAConnectionLeaves) {
    EXPECT_EQ(window_->location(), std::filesystem::path(home_.filePath(QStringLiteral("Kalix")).toStdString()));
    EXPECT_EQ(store_->readText(app::kServerIpKey), "127.0.0.1");
    EXPECT_EQ(store_->readNumber(app::kServerPortKey), recorder_->port());
    app::ConnectHistory history(window_->location());
    ASSERT_EQ(history.load(), app::HistoryStatus::Loaded);
    ASSERT_EQ(history.entries().size(), 1u);
    EXPECT_EQ(history.entries()[0].address, "127.0.0.1");
    EXPECT_EQ(history.entries()[0].port, recorder_->port());
    EXPECT_TRUE(std::filesystem::is_directory(window_->location() / "Upgrade"));
}

// The draw mode changes while the wall shows nothing: after a disconnect
// the local setup's OK rebuilds the wall, saves the mode and logs the change;
// the next connection draws on the new path.
TEST_F(MainWindowTest, DrawModeChangeAfterDisconnectRebuildsTheWall) {
    click(ControlId::Connect);  // disconnects
    ASSERT_EQ(window_->controller().session(), nullptr);
    EXPECT_EQ(window_->wall().displayMode(), media::DisplayMode::None);
    EXPECT_EQ(window_->wall().view().activeChannels(), 0u);

    click(app::splitButton(1));
    app::LocalSettings edited = window_->settings();
    edited.draw_mode = app::DrawMode::Rgb;
    window_->applyLocalSetup(edited);
    EXPECT_EQ(window_->settings().draw_mode, app::DrawMode::Rgb);
    EXPECT_EQ(store_->readNumber("LocalSetup/DrawMode/DrawMode"), 1u);
    EXPECT_EQ(window_->wall().pictures().drawPath(), media::DrawPath::Rgb);
    EXPECT_EQ(window_->wall().view().layout(), app::kSixteenPaneLayout);  // a new wall: 16 panes
    EXPECT_TRUE(window_->button(app::splitButton(8))->shownPressed());

    // A new storage folder takes the next connection's history and log.
    edited.location = home_.filePath(QStringLiteral("Elsewhere")).toStdString();
    window_->applyLocalSetup(edited);
    click(ControlId::Connect);  // the demo's connect dialog answers at once
    ASSERT_NE(window_->controller().session(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(edited.location) / "Log" / app::kHistoryFileName));
    ASSERT_TRUE(waitFor([&] {
        const auto* s = window_->controller().session();
        return s != nullptr && s->liveOn();
    }));
    ASSERT_TRUE(waitFor([&] { return window_->wall().view().activeChannels() != 0; }));
    ASSERT_TRUE(waitFor([&] { return window_->wallWidget()->picturesPainted(0) > 0; }));
}

TEST_F(MainWindowTest, OneNoticeBoxAtATime) {
    click(ControlId::VerInfo);
    ASSERT_NE(window_->noticeWindow(), nullptr);
    const auto box = window_->controller().noticeBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->message.find(" 1.2.3.4"), std::string::npos);
    QWidget* first = window_->noticeWindow();
    window_->controller().requestNotice(session::Notice{0x0F, 0});
    EXPECT_EQ(window_->noticeWindow(), first);  // the second request is dropped
    EXPECT_EQ(window_->controller().noticeBox()->notice.kind, 0x13);
    first->close();
    EXPECT_TRUE(waitFor([&] { return !window_->controller().noticeBox().has_value(); }));
}

TEST_F(MainWindowTest, FullScreenMovesTheWallOutAndEscBringsItBack) {
    const QRect inside = window_->wallWidget()->geometry();
    click(ControlId::Full);
    VideoWallWidget* wall = window_->wallWidget();
    ASSERT_TRUE(wall->isWindow());
    EXPECT_TRUE(window_->wall().view().fullScreen());
    ASSERT_NE(window_->fullScreenBar(), nullptr);
    EXPECT_TRUE(waitFor([&] { return window_->fullScreenBar()->isVisible(); }, 2000));
    // A split button of the bar acts as the main window's.
    QTest::mouseClick(window_->fullScreenBar()->button(kFullScreenBarSplitFirst + 1), Qt::LeftButton);
    EXPECT_EQ(window_->wall().view().layout(), app::kSplitLayouts[1]);
    EXPECT_TRUE(window_->button(app::splitButton(1))->shownPressed());

    QTest::keyClick(wall, Qt::Key_Escape);
    EXPECT_FALSE(wall->isWindow());
    EXPECT_FALSE(window_->wall().view().fullScreen());
    EXPECT_EQ(wall->geometry(), inside);
    EXPECT_EQ(window_->fullScreenBar(), nullptr);
}

TEST_F(MainWindowTest, VolumeSliderSetsTheVolumeAndSoundMutesIt) {
    SkinSlider* volume = window_->slider(ControlId::VolumeSlider);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->value(), static_cast<int>(app::kInitialVolume));
    QTest::mousePress(volume, Qt::LeftButton, {}, QPoint(volume->width() - 1, volume->height() / 2));
    QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(volume->width() - 1, volume->height() / 2));
    EXPECT_EQ(window_->controller().volume(), 65535u);

    click(ControlId::Sound);
    EXPECT_TRUE(window_->controller().muted());
    EXPECT_TRUE(window_->button(ControlId::Sound)->shownPressed());
    EXPECT_FALSE(volume->isEnabled());
}

}  // namespace
}  // namespace kalix::ui
