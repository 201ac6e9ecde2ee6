// The PTZ windows in the main window against a simulated recorder: Pan and
// Zoom open the panel where it belongs, its arrows (mouse and keys), the
// preset keypad and the dome pad reach the recorder as PTZ commands.
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "../sim_main_window.h"
#include "ui/main_window.h"
#include "ui/skin/skin_button.h"
#include "ui/widgets/dome_pad.h"
#include "ui/widgets/preset_panel.h"
#include "ui/widgets/ptz_panel.h"

namespace kalix::ui {
namespace {

using app::ControlId;
using Bytes = std::vector<std::uint8_t>;

using test::waitFor;

class PtzWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.channel_num = 4;
        config.ptz_channels = 1u << 2;  // only channel 2 has PTZ
        ASSERT_TRUE(rig_.start(std::move(config)));
        ASSERT_TRUE(rig_.waitForLive());
    }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // The recorder got `name` with `payload` after what the last call found.
    bool received(const std::string& name, const Bytes& payload) {
        return recorder_->waitUntil(
            [&](const std::vector<sim::ReceivedMessage>& messages) {
                for (std::size_t i = seen_; i < messages.size(); ++i)
                    if (messages[i].name == name && messages[i].payload == payload) {
                        seen_ = i + 1;
                        return true;
                    }
                return false;
            },
            std::chrono::seconds(5));
    }
    // Pan opened and the recorder said the channel has PTZ.
    PtzPanel* openPan() {
        click(window_->button(ControlId::Pan));
        if (!waitFor([&] { return window_->ptzPanel() && window_->ptzPanel()->centre()->isEnabled(); })) return nullptr;
        return window_->ptzPanel();
    }

    test::SimMainWindow rig_;
    std::unique_ptr<sim::RecorderSim>& recorder_ = rig_.recorder;
    std::unique_ptr<MainWindow>& window_ = rig_.window;
    std::size_t seen_ = 0;
};

TEST_F(PtzWindowsTest, PanAndZoomPlaceSwitchAndCloseThePanel) {
    click(window_->button(ControlId::Zoom));
    ASSERT_NE(window_->ptzPanel(), nullptr);
    PtzPanel* panel = window_->ptzPanel();
    EXPECT_EQ(panel->pos(), window_->mapToGlobal(kPtzPanelPos));
    EXPECT_EQ(panel->size(), kPtzPanelSize);
    EXPECT_EQ(panel->formCaption(), QStringLiteral("ZOOM"));
    EXPECT_TRUE(window_->button(ControlId::Zoom)->shownPressed());
    // Channel 0 is the first pane's and has no PTZ: the arrows stay off.
    EXPECT_TRUE(received("PTZ_CHANNEL_REQ", Bytes{0, 1, 0, 0}));
    QTest::qWait(200);
    EXPECT_FALSE(panel->arrow(session::PtzArrow::Up)->isEnabled());

    click(window_->button(ControlId::Pan));
    EXPECT_EQ(window_->ptzPanel(), panel);  // the same window, the other form
    EXPECT_EQ(panel->formCaption(), QStringLiteral("PAN"));
    EXPECT_TRUE(window_->button(ControlId::Pan)->shownPressed());
    EXPECT_FALSE(window_->button(ControlId::Zoom)->shownPressed());
    click(window_->button(ControlId::Pan));
    EXPECT_EQ(window_->ptzPanel(), nullptr);
    EXPECT_FALSE(window_->button(ControlId::Pan)->shownPressed());
}

TEST_F(PtzWindowsTest, ArrowButtonsAndKeysMoveWhileHeld) {
    click(window_->button(app::channelButton(2)));  // channel 2: PTZ
    PtzPanel* panel = openPan();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(received("PTZ_CHANNEL_REQ", Bytes{2, 0, 0, 0}));

    QTest::mousePress(panel->arrow(session::PtzArrow::Up), Qt::LeftButton);
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{2, 0, 0, 0}));
    QTest::mouseRelease(panel->arrow(session::PtzArrow::Up), Qt::LeftButton);
    EXPECT_TRUE(received("PTZ_MOVE_STOP", Bytes{}));

    QTest::keyPress(panel, Qt::Key_Right);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(panel, &repeat);  // a held key's repeats send nothing more
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{0, 0, 0, 0}));
    QTest::keyRelease(panel, Qt::Key_Right);
    EXPECT_TRUE(received("PTZ_MOVE_STOP", Bytes{}));
    QTest::qWait(100);
    EXPECT_EQ(recorder_->count(protocol::Code::PTZ_MOVE_REQ), 2u);

    // A key held while the panel closes stops the camera.
    QTest::keyPress(panel, Qt::Key_Down);
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{3, 0, 0, 0}));
    click(window_->button(ControlId::Pan));
    EXPECT_TRUE(received("PTZ_MOVE_STOP", Bytes{}));
}

TEST_F(PtzWindowsTest, TheKeypadSendsOneCommandAndTheDomePadDrivesTheMenu) {
    click(window_->button(app::channelButton(2)));
    click(window_->button(ControlId::Zoom));
    ASSERT_TRUE(waitFor([&] { return window_->ptzPanel() && window_->ptzPanel()->centre()->isEnabled(); }));
    PtzPanel* panel = window_->ptzPanel();

    click(panel->centre());
    PresetPanel* keypad = window_->presetPanel();
    ASSERT_NE(keypad, nullptr);
    EXPECT_EQ(keypad->pos(), window_->mapToGlobal(QPoint(0, window_->height() - kPresetPanelAboveBottom)));
    for (int d : {1, 2, 3, 4}) click(keypad->key(PresetPanel::digitKey(d)));
    EXPECT_EQ(keypad->numberText(), QStringLiteral("234"));
    click(keypad->key(PresetPanel::Key::Tour));
    click(keypad->key(PresetPanel::digitKey(7)));
    click(keypad->key(PresetPanel::Key::Ok));  // number 0: nothing, the keypad stays
    EXPECT_EQ(window_->presetPanel(), keypad);
    click(keypad->key(PresetPanel::Key::Call));
    for (int d : {3, 0, 0}) click(keypad->key(PresetPanel::digitKey(d)));
    click(keypad->key(PresetPanel::Key::Ok));
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{9, 0x2C, 0, 0x01}));
    EXPECT_TRUE(waitFor([&] { return window_->presetPanel() == nullptr; }));

    // Dome: the dome pad at the right edge, the panel in the pan form; the
    // wall keeps its channel until X.
    click(panel->centre());
    ASSERT_NE(window_->presetPanel(), nullptr);
    click(window_->presetPanel()->key(PresetPanel::Key::Dome));
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{13, 0, 0, 0}));
    DomePad* pad = window_->domePad();
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->pos(), window_->mapToGlobal(QPoint(window_->width() - kDomePadFromRight,
                                                      window_->height() - kDomePadAboveBottom)));
    EXPECT_EQ(panel->formCaption(), QStringLiteral("PAN"));
    EXPECT_TRUE(window_->button(ControlId::Pan)->shownPressed());
    click(window_->button(app::channelButton(3)));
    EXPECT_EQ(window_->wall().view().visibleChannels(), 1u << 2);
    click(pad->key(DomePad::Key::Select));
    click(pad->key(DomePad::Key::Previous));
    click(pad->key(DomePad::Key::Close));
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{14, 0, 0, 0}));
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{15, 0, 0, 0}));
    EXPECT_TRUE(received("PTZ_MOVE_REQ", Bytes{16, 0, 0, 0}));
    EXPECT_TRUE(waitFor([&] { return window_->domePad() == nullptr; }));

    // Live view stops: every PTZ window closes and Pan is released.
    click(window_->button(ControlId::Live));
    EXPECT_TRUE(waitFor([&] { return window_->ptzPanel() == nullptr; }));
    EXPECT_FALSE(window_->button(ControlId::Pan)->shownPressed());
}

}  // namespace
}  // namespace kalix::ui
