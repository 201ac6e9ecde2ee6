// The remote search dialog with canned recorder answers: the calendar, the
// day timeline and the event list open from them and take the operator's
// input. With KALIX_GALLERY_DIR set, SearchGallery also writes pictures of
// each window for a person to look at:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='SearchGallery*'
//
// (one command line).
#include <QApplication>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

#include "protocol/byte_order.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

using session::SearchAnswer;
using session::SearchKind;

constexpr protocol::RecorderTime kMay10 = 1'715'299'200;  // 2024-05-10 00:00

struct Requests final : app::SearchRequests {
    void searchMonth() override { sent.push_back("month"); }
    void searchDay(int y, int m, int d) override {
        sent.push_back("day " + std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d));
    }
    void searchEvents(std::uint32_t kind, std::uint32_t page) override {
        sent.push_back("events " + std::to_string(kind) + " " + std::to_string(page));
    }
    std::vector<std::string> sent;
};

struct Playback final : app::RemotePlayStarter {
    bool startRemotePlayback(const session::PlayStart& r, app::RemotePlayInit) override {
        starts.push_back(r);
        return true;
    }
    bool startEventPlayback(const session::EventPlayStart& r, app::RemotePlayInit) override {
        event_starts.push_back(r);
        return true;
    }
    const app::RemotePlayState& remotePlayState() const override { return state; }
    void clearRemotePlayState() override {}
    void setRemotePlayChannels(std::uint32_t) override {}
    bool remotePlaybackShown() const override { return false; }
    bool localPlaybackActive() const override { return false; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return std::nullopt; }
    app::RemotePlayState state;
    std::vector<session::PlayStart> starts;
    std::vector<session::EventPlayStart> event_starts;
};

std::vector<std::uint8_t> monthTable() {
    std::vector<std::uint8_t> r(376, 0);
    protocol::putBe32(r.data(), 2024);
    for (int d : {1, 2, 3, 6, 7, 8, 9, 13, 14, 20, 21, 27}) r[4 + 4 * 31 + static_cast<std::size_t>(d)] = 1;
    for (int d : {4, 11, 17}) r[4 + 3 * 31 + static_cast<std::size_t>(d)] = 1;
    return r;
}

void put(std::vector<std::uint8_t>& to, std::uint32_t mask, std::uint8_t kinds, std::uint32_t from, std::uint32_t until) {
    std::uint8_t r[24] = {};
    protocol::putBe32(r, mask);
    r[4] = kinds;
    protocol::putBe32(r + 16, from);
    protocol::putBe32(r + 20, until);
    to.insert(to.end(), r, r + 24);
}

// A day of recordings: continuous on channels 1-4, motion events on 5-8,
// an alarm stretch on channel 2 across the afternoon.
std::vector<std::uint8_t> dayTable() {
    std::vector<std::uint8_t> out;
    put(out, 0x000F, 0x01, kMay10 - 3600, kMay10 + 9 * 3600);
    put(out, 0x000F, 0x01, kMay10 + 9 * 3600 + 1, kMay10 + 86'400 + 60);
    for (int i = 0; i < 24; ++i) {
        const std::uint32_t at = kMay10 + static_cast<std::uint32_t>(i) * 3500 + 600;
        put(out, 0x00F0u & (0x10u << (i % 4)), 0x01, at, at + 900 + static_cast<std::uint32_t>(i % 5) * 400);
    }
    put(out, 0x0002, 0x02, kMay10 + 13 * 3600, kMay10 + 16 * 3600 + 1200);
    put(out, 0x0100, 0x01, kMay10, kMay10 + 40'000);  // channel 9: not on this 8-channel recorder
    return out;
}

std::vector<std::uint8_t> eventPage() {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < 14; ++i) {
        std::uint8_t r[24] = {};
        protocol::putBe32(r, (1u << (i % 8)) | (i % 3 == 0 ? 0x80u : 0u));
        r[4] = 1;
        r[8] = static_cast<std::uint8_t>(i);
        protocol::putBe32(r + 16, kMay10 + static_cast<std::uint32_t>(i) * 2711);
        out.insert(out.end(), r, r + 24);
    }
    return out;
}

class RemoteSearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override { loadResourceBundle(QStringLiteral(KALIX_BUNDLE)); }
    void TearDown() override {
        delete dialog_.data();
        unloadResourceBundle();
    }

    RemoteSearchDialog& open() {
        session::RecorderIdentity id;
        id.channel_num = 8;
        id.product_major = 2;
        RemoteSearchDeps deps{requests_, playback_, id};
        deps.permitted_channels = 0xFF;
        deps.current_year = 2024;
        dialog_ = new RemoteSearchDialog(deps);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->show();
        return *dialog_;
    }
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        return w.findChild<T*>(QLatin1String(name));
    }
    // The calendar on May 2024 and the timeline of 10 May.
    DayTimelineDialog* openTimeline() {
        RemoteSearchDialog& d = open();
        child<SkinButton>(d, "sub-calendar")->click();
        d.handle(SearchAnswer{SearchKind::Month, monthTable()});
        d.calendar()->dayButton(9)->click();
        d.handle(SearchAnswer{SearchKind::Day, dayTable()});
        return d.timeline();
    }

    Requests requests_;
    Playback playback_;
    QPointer<RemoteSearchDialog> dialog_;
};

TEST_F(RemoteSearchDialogTest, CalendarOpensOnTheMonthAnswerAndTabsWaitMeanwhile) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "sub-calendar")->click();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"month"}));
    EXPECT_TRUE(child<QWidget>(d, "waiting")->isVisible());
    child<SkinButton>(d, "tab-log")->click();
    EXPECT_EQ(d.hub().tab(), app::SearchTab::Search);

    d.handle(SearchAnswer{SearchKind::Month, monthTable()});
    EXPECT_FALSE(child<QWidget>(d, "waiting")->isVisible());
    ASSERT_NE(d.calendar(), nullptr);
    EXPECT_TRUE(d.calendar()->isVisible());
    EXPECT_TRUE(d.calendar()->monthButton(4)->shownPressed());
    EXPECT_TRUE(d.calendar()->monthButton(3)->isEnabled());
    EXPECT_FALSE(d.calendar()->monthButton(5)->isEnabled());
    EXPECT_TRUE(d.calendar()->dayButton(9)->isEnabled());
    EXPECT_FALSE(d.calendar()->dayButton(10)->isEnabled());
    EXPECT_EQ(d.calendar()->dayButton(0)->pos(), QPoint(3 * 57 + 4, 107));  // 1 May 2024, a Wednesday

    d.calendar()->dayButton(10)->click();  // no data
    d.calendar()->dayButton(9)->click();
    EXPECT_EQ(requests_.sent.back(), "day 2024-5-10");

    child<SkinButton>(d, "tab-log")->click();  // pending: nothing
    EXPECT_EQ(d.hub().tab(), app::SearchTab::Search);
    d.handle(SearchAnswer{SearchKind::Day, {}, 0, 0, true});  // refused
    child<SkinButton>(d, "tab-log")->click();
    EXPECT_EQ(d.hub().tab(), app::SearchTab::Log);
    ASSERT_NE(d.page(app::SearchTab::Log), nullptr);
    EXPECT_EQ(child<QWidget>(*d.page(app::SearchTab::Log), "unavailable"), nullptr);
}

TEST_F(RemoteSearchDialogTest, TimelineZoomsByDragAndPlaysAtTheCursor) {
    DayTimelineDialog* timeline = openTimeline();
    ASSERT_NE(timeline, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(timeline));
    const int left = app::kTimelineLeft, y = 100;
    QTest::mousePress(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 144, y));
    QTest::mouseMove(timeline, QPoint(left + 168, y));
    QTest::mouseRelease(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 168, y));
    const app::DayTimeline* model = dialog_->hub().timeline();
    EXPECT_EQ(model->windowStart(), 43'200);
    EXPECT_EQ(model->windowEnd(), 50'400);
    EXPECT_EQ(model->scale(), 25);

    QTest::mouseClick(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 72, y));
    QTest::keyClick(timeline, Qt::Key_Right);
    QTest::keyClick(timeline, Qt::Key_Escape);  // swallowed
    EXPECT_TRUE(timeline->isVisible());
    EXPECT_EQ(child<SkinStatic>(*timeline, "cursor-time")->text(), QStringLiteral("12 : 30 : 25"));

    // Bars are drawn on permitted channels only: channel 9's row stays empty.
    const QImage area = timeline->renderArea();
    const int row9 = app::DayTimeline::rowTop(8) + 4 - app::kTimelineTop;
    const int row1 = app::DayTimeline::rowTop(0) + 4 - app::kTimelineTop;
    EXPECT_NE(area.pixel(10, row1), area.pixel(10, row9));

    child<SkinButton>(*timeline, "play")->click();
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].start, kMay10 + 12 * 3600 + 30 * 60 + 25);
    EXPECT_EQ(playback_.starts[0].mask, 0xFFu);
    QTRY_VERIFY(!timeline->isVisible());
}

TEST_F(RemoteSearchDialogTest, EventListShowsRowsAndPlaysTheChosenEvent) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "sub-event")->click();
    EXPECT_EQ(requests_.sent.back(), "events 1 0");
    d.handle(SearchAnswer{SearchKind::EventPage, eventPage(), 0, 2});
    ASSERT_NE(d.eventList(), nullptr);
    SkinListBox* list = d.eventList()->list();
    ASSERT_EQ(list->rowCount(), 14);
    EXPECT_EQ(list->cell(1, 0), QStringLiteral("2024-05-10 00:45:11"));
    EXPECT_EQ(list->cell(0, 1), QStringLiteral("01 08 "));
    EXPECT_EQ(child<SkinStatic>(*d.eventList(), "page")->text(), QStringLiteral("1 / 2"));

    list->setCurrentRow(2);
    child<SkinButton>(*d.eventList(), "play")->click();
    ASSERT_EQ(playback_.event_starts.size(), 1u);
    EXPECT_EQ(playback_.event_starts[0].token[0], 2);

    child<SkinButton>(*d.eventList(), "kind-7")->click();
    EXPECT_EQ(requests_.sent.back(), "events 7 0");
    d.handle(SearchAnswer{SearchKind::Events, {}});
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_TRUE(child<QWidget>(*d.eventList(), "empty")->isVisible());
}

TEST_F(RemoteSearchDialogTest, DateAndTimePlayClosesTheDialog) {
    RemoteSearchDialog& d = open();
    d.setDateTime({2024, 1, 28}, 3 * 3600 + 4 * 60 + 5);
    child<SkinButton>(d, "datetime-play")->click();
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].kind_filter, 0x3F);
    EXPECT_EQ(playback_.starts[0].start, 1'709'175'845u);  // 2024-02-29 03:04:05
    QTRY_VERIFY(dialog_.isNull());
}

// Pictures for a person to look at.
class SearchGallery : public RemoteSearchDialogTest {
protected:
    void SetUp() override {
        dir_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(dir_));
        RemoteSearchDialogTest::SetUp();
    }
    void save(QWidget& widget, const char* name) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        const QString file = QDir(dir_).filePath(QLatin1String(name) + QStringLiteral(".png"));
        ASSERT_TRUE(widget.grab().save(file)) << file.toStdString();
    }
    QString dir_;
};

TEST_F(SearchGallery, RemoteSearchWindows) {
    RemoteSearchDialog& d = open();
    save(d, "search-datetime");
    child<SkinButton>(d, "sub-calendar")->click();
    save(d, "search-waiting");
    d.handle(SearchAnswer{SearchKind::Month, monthTable()});
    save(*d.calendar(), "search-calendar");

    d.calendar()->dayButton(9)->click();
    d.handle(SearchAnswer{SearchKind::Day, dayTable()});
    DayTimelineDialog* timeline = d.timeline();
    save(*timeline, "search-timeline-day");
    const int left = app::kTimelineLeft, y = 100;
    QTest::mousePress(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 120, y));
    QTest::mouseMove(timeline, QPoint(left + 192, y));
    QTest::mouseRelease(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 192, y));
    QTest::mouseClick(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 130, y));
    QTest::mousePress(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 200, y));
    QTest::mouseMove(timeline, QPoint(left + 250, y));
    save(*timeline, "search-timeline-zoomed");
    QTest::mouseRelease(timeline, Qt::LeftButton, Qt::NoModifier, QPoint(left + 200, y));

    child<SkinButton>(d, "sub-event")->click();
    d.handle(SearchAnswer{SearchKind::EventPage, eventPage(), 0, 2});
    save(*d.eventList(), "search-events");
    child<SkinButton>(d, "sub-channels")->click();
    save(d, "search-channels");
    child<SkinButton>(d, "tab-backup")->click();
    save(d, "search-backup");
}

}  // namespace
}  // namespace kalix::ui
