// The local setup dialog through its widgets: linked editing of checked
// rows, the global rows' lists and folder browser, and what OK, Cancel and
// Close hand back.
#include "ui/dialogs/local_setup_dialog.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

using Page = LocalSetupDialog::Page;

class LocalSetupTest : public testing::WithoutSkin {
protected:
    void SetUp() override {
        testing::WithoutSkin::SetUp();
        ASSERT_TRUE(dir.isValid());
        live.location = dir.path().toStdString();
        live.opacity[4] = 230;  // the local setup dialog's own slot
    }

    std::unique_ptr<LocalSetupDialog> open(app::StorageMode storage = app::StorageMode::Writable,
                                           app::DrawModeRow row = app::DrawModeRow::Enabled) {
        auto dialog = std::make_unique<LocalSetupDialog>(live, storage, row);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    template <typename T>
    static T* child(QWidget& dialog, const QString& name) {
        T* found = dialog.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    static void click(QWidget& dialog, const QString& name) {
        QTest::mouseClick(child<QAbstractButton>(dialog, name), Qt::LeftButton);
    }
    static QString row(const char* page, const char* what, int n) {
        return QStringLiteral("%1-%2-%3").arg(QLatin1String(page), QLatin1String(what)).arg(n);
    }
    // Presses the slider where its thumb stands for `value` and lets go.
    static void drag(QWidget& dialog, const char* page, int n, int value) {
        auto* slider = child<SkinSlider>(dialog, row(page, "slider", n));
        int x = 0;
        while (x < slider->width() && slider->valueAt(x) < value) ++x;
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
    }
    // Clicks a global row and picks `text` from the list that drops down.
    static void choose(QWidget& dialog, const char* row_name, const QString& text) {
        click(dialog, QLatin1String(row_name));
        auto* menu = dialog.findChild<QMenu*>(QStringLiteral("choices"));
        ASSERT_NE(menu, nullptr);
        QAction* pick = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == text) pick = action;
        ASSERT_NE(pick, nullptr) << text.toStdString();
        pick->trigger();
        menu->close();
    }

    QTemporaryDir dir;
    app::LocalSettings live;
};

TEST_F(LocalSetupTest, MovingACheckedOpacityRowMovesEveryCheckedRow) {
    auto dialog = open();
    EXPECT_EQ(dialog->opacityByte(), 230);
    EXPECT_EQ(dialog->page(Page::Opacity), nullptr);  // built when first chosen
    click(*dialog, QStringLiteral("page-opacity"));
    ASSERT_NE(dialog->page(Page::Opacity), nullptr);
    EXPECT_EQ(dialog->currentPage(), Page::Opacity);

    click(*dialog, row("opacity", "check", 0));
    click(*dialog, row("opacity", "check", 2));
    drag(*dialog, "opacity", 0, 180);
    const auto& copy = dialog->model().copy();
    EXPECT_EQ(copy.opacity[0], 180);
    EXPECT_EQ(copy.opacity[2], 180);
    EXPECT_EQ(copy.opacity[1], 255);
    EXPECT_EQ(child<SkinSlider>(*dialog, row("opacity", "slider", 2))->value(), 180);
    EXPECT_EQ(child<SkinStatic>(*dialog, row("opacity", "value", 2))->text(), "180");

    // An unchecked row moves alone, and checked rows do not follow it.
    drag(*dialog, "opacity", 1, 120);
    EXPECT_EQ(copy.opacity[1], 120);
    EXPECT_EQ(copy.opacity[0], 180);

    // Cleared boxes: every row on its own again.
    click(*dialog, QStringLiteral("opacity-clear-all"));
    EXPECT_FALSE(child<SkinCheckButton>(*dialog, row("opacity", "check", 0))->isChecked());
    drag(*dialog, "opacity", 2, 200);
    EXPECT_EQ(copy.opacity[2], 200);
    EXPECT_EQ(copy.opacity[0], 180);

    click(*dialog, QStringLiteral("opacity-check-all"));
    drag(*dialog, "opacity", 8, 150);
    for (std::size_t slot = 0; slot < app::kOpacitySlots; ++slot) EXPECT_EQ(copy.opacity[slot], 150) << slot;
    EXPECT_EQ(child<SkinStatic>(*dialog, row("opacity", "value", 5))->text(), "150");
    EXPECT_EQ(live.opacity[0], 255);  // the caller's block is never touched
}

TEST_F(LocalSetupTest, AudioBufferBelowTwoIsRaisedAtOnceOnEveryCheckedRow) {
    auto dialog = open();
    click(*dialog, QStringLiteral("page-audio"));
    click(*dialog, row("audio", "check", 0));
    click(*dialog, row("audio", "check", 2));
    drag(*dialog, "audio", 2, 40);
    EXPECT_EQ(dialog->model().copy().audio_buffer, (std::array<std::uint8_t, 3>{40, 2, 40}));

    drag(*dialog, "audio", 0, 0);
    EXPECT_EQ(dialog->model().copy().audio_buffer, (std::array<std::uint8_t, 3>{2, 2, 2}));
    EXPECT_EQ(child<SkinSlider>(*dialog, row("audio", "slider", 0))->value(), 2);
    EXPECT_EQ(child<SkinStatic>(*dialog, row("audio", "value", 2))->text(), "2");
}

TEST_F(LocalSetupTest, DeinterlaceSwitchesEveryCheckedChannel) {
    auto dialog = open();
    click(*dialog, QStringLiteral("page-deinterlace"));
    click(*dialog, row("deinterlace", "check", 3));
    click(*dialog, row("deinterlace", "check", 10));
    click(*dialog, row("deinterlace", "off", 3));
    for (int ch = 0; ch < 16; ++ch) {
        const bool off = ch == 3 || ch == 10;
        EXPECT_EQ(dialog->model().deinterlaceOn(static_cast<std::size_t>(ch)), !off) << ch;
        EXPECT_EQ(child<SkinButton>(*dialog, row("deinterlace", "off", ch))->shownPressed(), off) << ch;
        EXPECT_EQ(child<SkinButton>(*dialog, row("deinterlace", "on", ch))->shownPressed(), !off) << ch;
    }
    click(*dialog, row("deinterlace", "on", 5));  // unchecked: alone
    EXPECT_TRUE(dialog->model().deinterlaceOn(5));
    EXPECT_FALSE(dialog->model().deinterlaceOn(10));
}

TEST_F(LocalSetupTest, CancelAndCloseLeaveEverythingAsItWas) {
    for (const char* how : {"cancel", "close"}) {
        auto dialog = open();
        choose(*dialog, "row-draw-mode", QStringLiteral("RGB"));
        click(*dialog, QStringLiteral("page-opacity"));
        drag(*dialog, "opacity", 0, 100);
        click(*dialog, QLatin1String(how));
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << how;
        EXPECT_FALSE(dialog->outcome().has_value()) << how;
        EXPECT_EQ(dialog->edited(), live) << how;
        EXPECT_EQ(dialog->model().copy(), live) << how;
    }
}

TEST_F(LocalSetupTest, OkAfterADrawModeChangeAsksForANewWall) {
    auto dialog = open();
    choose(*dialog, "row-draw-mode", QStringLiteral("RGB"));
    choose(*dialog, "row-date-format", QStringLiteral("DD-MM-YYYY"));
    choose(*dialog, "row-hour-system", QStringLiteral("12-hour clock"));
    EXPECT_EQ(child<SkinButton>(*dialog, QStringLiteral("row-draw-mode"))->text(), "RGB");
    click(*dialog, QStringLiteral("ok"));

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_TRUE(dialog->outcome().has_value());
    EXPECT_EQ(*dialog->outcome(), (app::LocalSetupOutcome{.rebuild_wall = true, .save = true,
                                                          .make_upgrade_folder = true, .log_change = true}));
    EXPECT_EQ(dialog->edited().draw_mode, app::DrawMode::Rgb);
    EXPECT_EQ(dialog->edited().date_format, app::DateFormat::DayMonthYear);
    EXPECT_EQ(dialog->edited().hour_system, app::HourSystem::TwelveHour);

    // With pictures on the wall the row cannot change, and OK rebuilds nothing.
    auto busy = open(app::StorageMode::Writable, app::DrawModeRow::Disabled);
    auto* draw_mode = child<SkinButton>(*busy, QStringLiteral("row-draw-mode"));
    EXPECT_FALSE(draw_mode->isEnabled());
    QTest::mouseClick(draw_mode, Qt::LeftButton);
    EXPECT_EQ(busy->findChild<QMenu*>(QStringLiteral("choices")), nullptr);
    click(*busy, QStringLiteral("ok"));
    ASSERT_TRUE(busy->outcome().has_value());
    EXPECT_FALSE(busy->outcome()->rebuild_wall);
}

TEST_F(LocalSetupTest, LocationComesFromTheFolderBrowserAndIsHiddenInCdMode) {
    auto dialog = open();
    QString offered;
    QString answer = QStringLiteral("/srv/kalix");
    dialog->setFolderChooser([&](QWidget*, const QString& title, const QString& start) {
        EXPECT_FALSE(title.isEmpty());
        offered = start;
        return answer;
    });
    auto* location = child<SkinButton>(*dialog, QStringLiteral("row-location"));
    EXPECT_EQ(location->text(), dir.path());
    QTest::mouseClick(location, Qt::LeftButton);
    EXPECT_EQ(offered, dir.path());
    EXPECT_EQ(location->text(), "/srv/kalix");
    answer.clear();  // the operator cancels the browser
    QTest::mouseClick(location, Qt::LeftButton);
    EXPECT_EQ(location->text(), "/srv/kalix");
    click(*dialog, QStringLiteral("ok"));
    EXPECT_EQ(dialog->edited().location, "/srv/kalix");

    // From a read-only medium: no location row, nothing saved, the
    // location stays.
    auto cd = open(app::StorageMode::ReadOnlyMedium);
    EXPECT_EQ(cd->findChild<SkinButton*>(QStringLiteral("row-location")), nullptr);
    choose(*cd, "row-save-format", QStringLiteral("TIF"));
    click(*cd, QStringLiteral("ok"));
    ASSERT_TRUE(cd->outcome().has_value());
    EXPECT_FALSE(cd->outcome()->save);
    EXPECT_EQ(cd->edited().location, live.location);
    EXPECT_EQ(cd->edited().save_format, app::SaveFormat::Tiff);
}

}  // namespace
}  // namespace kalix::ui
