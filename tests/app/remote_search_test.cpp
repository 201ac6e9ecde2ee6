#include "app/remote_search.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "search_test_data.h"

namespace kalix::app {
namespace {

using session::SearchAnswer;
using session::SearchKind;
using testing::dayRecord;
using testing::eventRecord;
using testing::yearRecord;

struct FakeRequests final : SearchRequests {
    void searchMonth() override { sent.push_back("month"); }
    void searchDay(int y, int m, int d) override {
        sent.push_back("day " + std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d));
    }
    void searchEvents(std::uint32_t kind, std::uint32_t page) override {
        sent.push_back("events " + std::to_string(kind) + " " + std::to_string(page));
    }
    void cancelCapacityCalculation() override { sent.push_back("capacity cancel"); }
    std::vector<std::string> sent;
};

// Keeps a real remote-play state, as the controller does.
struct FakePlayback final : RemotePlayStarter {
    bool startRemotePlayback(const session::PlayStart& r, RemotePlayInit i) override {
        if (!accept) return false;
        starts.push_back(r);
        inits.push_back(i);
        state.begin(std::move(i));
        return true;
    }
    bool startEventPlayback(const session::EventPlayStart& r, RemotePlayInit i) override {
        if (!accept) return false;
        event_starts.push_back(r);
        inits.push_back(i);
        state.begin(std::move(i), r.event_kind);
        return true;
    }
    const RemotePlayState& remotePlayState() const override { return state; }
    void clearRemotePlayState() override {
        ++cleared;
        state.clear();
    }
    void setRemotePlayChannels(std::uint32_t mask) override { kept = mask; }
    bool remotePlaybackShown() const override { return shown; }
    bool localPlaybackActive() const override { return local; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return position; }

    RemotePlayState state;
    bool accept = true;
    std::vector<session::PlayStart> starts;
    std::vector<RemotePlayInit> inits;
    std::vector<session::EventPlayStart> event_starts;
    int cleared = 0;
    std::optional<std::uint32_t> kept;
    bool shown = false, local = false;
    std::optional<protocol::RecorderTime> position;
};

struct FakeView final : RemoteSearchView {
    void stateChanged() override { ++changes; }
    void openCalendar() override { ++calendars; }
    void openTimeline() override { ++timelines; }
    void closeTimeline(std::chrono::milliseconds after) override { timeline_closed_after = after; }
    void openEventList() override { ++event_lists; }
    void showNotice(session::Notice n) override { notices.push_back(n); }
    void closeDialog() override { closed = true; }

    int changes = 0, calendars = 0, timelines = 0, event_lists = 0;
    std::optional<std::chrono::milliseconds> timeline_closed_after;
    std::vector<session::Notice> notices;
    bool closed = false;
};

class RemoteSearchTest : public ::testing::Test {
protected:
    RemoteSearchHub& hub(std::uint8_t product_major = 2) {
        session::RecorderIdentity id;
        id.channel_num = 8;
        id.product_major = product_major;
        RemoteSearchSetup setup{requests_, playback_, view_, id};
        setup.permitted_channels = 0x00FF;
        setup.current_year = 2024;
        hub_.emplace(setup);
        return *hub_;
    }
    SearchAnswer month() {
        std::vector<std::uint8_t> bytes = yearRecord(2024, {{4, 9}, {4, 10}});
        return {SearchKind::Month, bytes};
    }
    // The calendar open on May 2024, 10 May asked for.
    void dayAsked() {
        hub().openCalendarSearch();
        hub_->onAnswer(month());
        hub_->chooseDay(9);
    }

    FakeRequests requests_;
    FakePlayback playback_;
    FakeView view_;
    std::optional<RemoteSearchHub> hub_;
};

TEST_F(RemoteSearchTest, CalendarSearchWaitsForTheMonthAndTabsDoNothingMeanwhile) {
    RemoteSearchHub& h = hub();
    EXPECT_EQ(h.channelMask(), 0xFFu);
    h.openCalendarSearch();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"month"}));
    EXPECT_TRUE(h.pending());
    h.chooseTab(SearchTab::Log);
    h.openCalendarSearch();
    EXPECT_EQ(h.tab(), SearchTab::Search);
    EXPECT_EQ(requests_.sent.size(), 1u);

    h.onAnswer(month());
    EXPECT_FALSE(h.pending());
    ASSERT_NE(h.calendar(), nullptr);
    EXPECT_EQ(h.calendar()->month0(), 4);
    EXPECT_EQ(view_.calendars, 1);
    // Asked again, the calendar is shown again without a new request.
    h.openCalendarSearch();
    EXPECT_EQ(view_.calendars, 2);
    EXPECT_EQ(requests_.sent.size(), 1u);
}

TEST_F(RemoteSearchTest, EmptyAnswersEndTheWaitWithNoRecordedData) {
    RemoteSearchHub& h = hub();
    h.openCalendarSearch();
    h.onAnswer(SearchAnswer{SearchKind::Month, {}});
    EXPECT_FALSE(h.pending());
    EXPECT_EQ(h.calendar(), nullptr);
    ASSERT_EQ(view_.notices.size(), 1u);
    EXPECT_EQ(view_.notices[0], session::Notice::of(session::NoticeKind::NoRecordedData, 0, session::Owner::RemoteSearch));

    // The next press asks again.
    h.openCalendarSearch();
    h.onAnswer(month());
    h.chooseDay(9);
    EXPECT_TRUE(h.pending());
    h.onAnswer(SearchAnswer{SearchKind::Day, {}});
    EXPECT_FALSE(h.pending());
    EXPECT_EQ(h.timeline(), nullptr);
    EXPECT_EQ(view_.notices.size(), 2u);

    // A refusal brings its own notice: only the wait ends.
    h.chooseDay(10);
    h.onAnswer(SearchAnswer{SearchKind::Day, {}, 0, 0, true});
    EXPECT_FALSE(h.pending());
    EXPECT_EQ(view_.notices.size(), 2u);
}

TEST_F(RemoteSearchTest, ChosenDayOpensTheTimelineAndPlayStartsThere) {
    dayAsked();
    EXPECT_EQ(requests_.sent.back(), "day 2024-5-10");
    EXPECT_EQ(playback_.cleared, 1);
    std::vector<std::uint8_t> day = dayRecord(0x3, 0x01, 1'715'299'200, 1'715'302'800);
    hub_->onAnswer(SearchAnswer{SearchKind::Day, day});
    ASSERT_NE(hub_->timeline(), nullptr);
    EXPECT_EQ(view_.timelines, 1);
    EXPECT_EQ(hub_->timeline()->date(), (CalendarDate{2024, 4, 9}));

    hub_->setChannelMask(0x0105);  // channel 9 is not on this recorder
    hub_->timeline()->leftDown(kTimelineLeft + 48, 80);
    hub_->timeline()->leftUp(kTimelineLeft + 48);  // 04:00
    hub_->playTimeline();
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].mask, 0x05u);
    EXPECT_EQ(playback_.starts[0].kind_filter, 0);
    EXPECT_EQ(playback_.starts[0].start, 1'715'299'200u + 14'400u);
    EXPECT_EQ(playback_.inits[0].origin, PlayOrigin::Timeline);
    EXPECT_EQ(playback_.inits[0].start, 1'715'299'200u + 14'400u);
    EXPECT_EQ(playback_.inits[0].channel_mask, 0x05u);
    EXPECT_EQ(playback_.inits[0].month_copy.size(), 376u);
    EXPECT_EQ(playback_.inits[0].day_copy, day);
    EXPECT_EQ(view_.timeline_closed_after, std::chrono::milliseconds(50));
    EXPECT_FALSE(view_.closed);
}

TEST_F(RemoteSearchTest, TimelineFollowsARunningPlaybackAndStaysWhenAStartIsRefused) {
    // The dialog opens on the channels of the active play state.
    playback_.state.begin({PlayOrigin::TimeSearch, 1'715'299'200, 0x6, {}, {}});
    EXPECT_EQ(hub().channelMask(), 0x6u);
    hub_->openCalendarSearch();
    hub_->onAnswer(month());
    hub_->chooseDay(9);
    EXPECT_FALSE(playback_.state.active());  // a chosen day clears the state
    // The playback goes on at 01:02:03 on that day: the cursor opens there.
    playback_.position = 1'715'299'200 + 3723;
    hub_->onAnswer(SearchAnswer{SearchKind::Day, dayRecord(0x3, 0x01, 1'715'299'200, 1'715'302'800)});
    ASSERT_NE(hub_->timeline(), nullptr);
    EXPECT_EQ(hub_->timeline()->cursor(), 3723);

    playback_.accept = false;  // e.g. a start still pending
    hub_->playTimeline();
    EXPECT_FALSE(view_.timeline_closed_after);
    hub_->playDateTime({2024, 4, 9}, 0);
    EXPECT_FALSE(view_.closed);
    playback_.accept = true;
    hub_->playTimeline();
    EXPECT_TRUE(view_.timeline_closed_after);
    EXPECT_EQ(playback_.state.startTime(), 1'715'299'200u + 3723u);
}

TEST_F(RemoteSearchTest, NoRemoteStartWhileALocalPlayerExists) {
    dayAsked();
    playback_.local = true;
    hub_->onAnswer(SearchAnswer{SearchKind::Day, dayRecord(0x1, 0x01, 1'715'299'200, 1'715'300'000)});
    EXPECT_FALSE(hub_->timelinePlayEnabled());
    hub_->playTimeline();
    hub_->playDateTime({2024, 4, 9}, 0);
    EXPECT_TRUE(playback_.starts.empty());
    EXPECT_FALSE(view_.closed);
}

TEST_F(RemoteSearchTest, DateAndTimePlayClosesTheDialogKeepingThePlayState) {
    RemoteSearchHub& h = hub();
    h.playDateTime({2024, 1, 30}, 0);  // 31 February: nothing
    EXPECT_TRUE(playback_.starts.empty());
    h.playDateTime({2040, 1, 28}, 3600);  // 29 February 2040
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].kind_filter, 0x3F);
    EXPECT_EQ(playback_.starts[0].start, *recorderTimeOf({2040, 1, 28}, 3600));
    EXPECT_EQ(playback_.inits[0].origin, PlayOrigin::TimeSearch);
    EXPECT_TRUE(playback_.inits[0].month_copy.empty());
    EXPECT_TRUE(view_.closed);
    EXPECT_EQ(playback_.cleared, 0);
    EXPECT_EQ(playback_.kept, 0xFFu);
    // Answers for a closed dialog are dropped.
    h.onAnswer(month());
    EXPECT_EQ(h.calendar(), nullptr);
}

TEST_F(RemoteSearchTest, LogEntryPlayStartsAtTheEntryAndClosesKeepingThePlayState) {
    RemoteSearchHub& h = hub();
    playback_.local = true;
    EXPECT_FALSE(h.playLogEntry(session::PlayStart{0x8001, 0, 1'718'454'896}));
    EXPECT_TRUE(playback_.starts.empty());
    playback_.local = false;
    ASSERT_TRUE(h.playLogEntry(session::PlayStart{0x8001, 0, 1'718'454'896}));
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].mask, 0x8001u);
    EXPECT_EQ(playback_.starts[0].kind_filter, 0);
    EXPECT_EQ(playback_.inits[0].start, 1'718'454'896u);
    EXPECT_TRUE(view_.closed);
    EXPECT_EQ(playback_.cleared, 0);
}

TEST_F(RemoteSearchTest, CloseClearsThePlayStateOnlyOutsideRemotePlayback) {
    hub().close();
    EXPECT_EQ(playback_.cleared, 1);
    EXPECT_TRUE(view_.closed);
    playback_.shown = true;
    playback_.state.begin({PlayOrigin::Timeline, 0, 0x3, {}, {}});
    hub().cancel();
    EXPECT_EQ(playback_.cleared, 1);
    EXPECT_EQ(playback_.kept, 0x3u);
    EXPECT_EQ(requests_.sent.back(), "capacity cancel");
}

TEST_F(RemoteSearchTest, EventListShowsTheKindAndPlaysAtAnEvent) {
    RemoteSearchHub& h = hub();
    h.openEventSearch();
    EXPECT_EQ(requests_.sent.back(), "events 1 0");
    std::vector<std::uint8_t> records = eventRecord(0x8001, 1, 10, 1'715'299'200 + 3723);
    testing::append(records, eventRecord(0x2, 2, 20, 1'715'299'300));
    h.onAnswer(SearchAnswer{SearchKind::EventPage, records, 0, 3});
    ASSERT_NE(h.eventList(), nullptr);
    EXPECT_EQ(view_.event_lists, 1);
    const auto rows = h.eventList()->rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].time, "2024-05-10 01:02:03");
    EXPECT_EQ(rows[0].channels, "01 16 ");
    EXPECT_EQ(h.eventList()->pageText(), "1 / 3");

    h.playEvent(0);
    ASSERT_EQ(playback_.event_starts.size(), 1u);
    EXPECT_EQ(playback_.event_starts[0].mask, 0xFFu);
    EXPECT_EQ(playback_.event_starts[0].event_kind, 1);
    EXPECT_EQ(playback_.event_starts[0].token, (std::array<std::uint8_t, 8>{10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(playback_.event_starts[0].time, 1'715'299'200u + 3723u);
    EXPECT_EQ(playback_.inits[0].origin, PlayOrigin::EventList);
    EXPECT_EQ(playback_.inits[0].start, 1'715'299'200u + 3723u);
    EXPECT_EQ(playback_.state.eventKind(), 1);
    h.playEvent(1);
    EXPECT_EQ(playback_.event_starts.size(), 1u);

    h.eventPage(-1);  // no page before the first
    h.eventPage(+1);
    EXPECT_EQ(requests_.sent.back(), "events 1 1");
    h.chooseEventKind(7);  // pending: ignored
    EXPECT_EQ(h.eventList()->kind(), 1);
    h.onAnswer(SearchAnswer{SearchKind::EventPage, {}, 0, 0, true});  // refused: an empty list
    EXPECT_EQ(h.eventList()->rowCount(), 0u);
    h.chooseEventKind(7);
    EXPECT_EQ(requests_.sent.back(), "events 7 0");
    EXPECT_EQ(h.eventList()->kind(), 7);
}

// The answer's first word is not the page number (the recorder may count
// its events there): the page shown is the one asked for.
TEST_F(RemoteSearchTest, EventPagesCountFromThePageAskedFor) {
    RemoteSearchHub& h = hub();
    h.openEventSearch();
    std::vector<std::uint8_t> records = eventRecord(0x1, 1, 10, 1'715'299'200);
    h.onAnswer(SearchAnswer{SearchKind::EventPage, records, 28, 2});
    EXPECT_EQ(h.eventList()->pageText(), "1 / 2");
    h.eventPage(+1);
    EXPECT_EQ(requests_.sent.back(), "events 1 1");
    h.onAnswer(SearchAnswer{SearchKind::EventPage, records, 28, 2});
    EXPECT_EQ(h.eventList()->pageText(), "2 / 2");
    h.eventPage(+1);  // the last page
    EXPECT_EQ(requests_.sent.back(), "events 1 1");
    h.chooseEventKind(2);
    h.onAnswer(SearchAnswer{SearchKind::EventPage, {}, 0, 0});
    EXPECT_EQ(h.eventList()->pageText(), "1 / 1");
}

TEST_F(RemoteSearchTest, RightsChangesMoveBetweenTabs) {
    RemoteSearchHub& h = hub();
    h.onWindowPost({session::WindowMessage::RightsChanged, session::Owner::RemoteSearch, 1});
    EXPECT_EQ(h.tab(), SearchTab::Backup);
    EXPECT_FALSE(h.tabEnabled(SearchTab::Search));
    h.chooseTab(SearchTab::Info);
    EXPECT_EQ(h.tab(), SearchTab::Backup);
    h.onWindowPost({session::WindowMessage::RightsChanged, session::Owner::RemoteSearch, 2});
    EXPECT_EQ(h.tab(), SearchTab::Search);
    EXPECT_FALSE(h.tabEnabled(SearchTab::Backup));
    h.onWindowPost({session::WindowMessage::RightsChanged, session::Owner::RemoteSearch, 0});
    EXPECT_TRUE(h.tabEnabled(SearchTab::Backup));

    // First-version recorders know no rights changes.
    RemoteSearchHub& old = hub(1);
    old.onWindowPost({session::WindowMessage::RightsChanged, session::Owner::RemoteSearch, 1});
    EXPECT_EQ(old.tab(), SearchTab::Search);
}

TEST(RemoteSearchAccess, FirstProductVersionLetsAdministratorAndSearchUserIn) {
    session::RecorderIdentity id;
    EXPECT_EQ(remoteSearchAccess(nullptr, false), RemoteSearchAccess::Ignored);
    EXPECT_EQ(remoteSearchAccess(&id, true), RemoteSearchAccess::Ignored);
    for (std::uint8_t account : {std::uint8_t{0}, std::uint8_t{2}}) {
        id.account = account;
        EXPECT_EQ(remoteSearchAccess(&id, false), RemoteSearchAccess::Open);
    }
    id.account = 1;
    EXPECT_EQ(remoteSearchAccess(&id, false), RemoteSearchAccess::Refused);
    id.product_major = 1;
    EXPECT_EQ(remoteSearchAccess(&id, false), RemoteSearchAccess::Open);
}

}  // namespace
}  // namespace kalix::app
