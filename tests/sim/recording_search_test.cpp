#include "sim/recording_search.h"

#include <gtest/gtest.h>

#include "recordings_client.h"

namespace kalix::sim {
namespace {

using namespace simtest;
using protocol::Code;

SimConfig searchConfig() {
    std::vector<RecordedStretch> stretches{
        {0, 1, kTestDay + 3600, kTestDay + 7200},
        {1, 2, kTestDay + 3600, kTestDay + 7200},
        {2, 1, kTestDay - 86'400 * 400, kTestDay - 86'400 * 399},  // a year back
        {9, 1, kTestDay + 100, kTestDay + 200},                    // beyond the recorder's channels
    };
    std::vector<RecordedEvent> events;
    for (RecorderSeconds i = 0; i < 23; ++i) events.push_back({2, 0x0003, kTestDay + 3600 + i, kTestDay + 3660 + i, {}});
    std::string error;
    auto schedule = RecordingSchedule::make(stretches, events, error);
    EXPECT_TRUE(schedule) << error;
    SimConfig config;
    config.channel_num = 8;
    config.recordings.schedule = std::make_shared<const RecordingSchedule>(std::move(*schedule));
    return config;
}

TEST(RecordingSearchTest, MonthDayAndEventAnswersComeFromTheSchedule) {
    auto sim = startSim(searchConfig());
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());

    ASSERT_TRUE(client.send(Code::PLAY_INFO_MONTH_REQ));
    const auto month = client.answer();
    ASSERT_EQ(month.size(), 1u);
    ASSERT_TRUE(month[0].is(Code::PLAY_INFO_MONTH_ACK));
    ASSERT_EQ(month[0].payload.size(), 2 * kYearRecordSize);
    EXPECT_EQ(protocol::be32(month[0].payload.data()), 2023u);
    EXPECT_EQ(protocol::be32(month[0].payload.data() + kYearRecordSize), 2024u);
    EXPECT_NE(month[0].payload[kYearRecordSize + 4 + 4 * 31 + 9], 0);  // 10 May

    ASSERT_TRUE(client.sendDayReq(2024, 5, 10));
    const auto day = client.answer();
    ASSERT_EQ(day.size(), 1u);
    ASSERT_TRUE(day[0].is(Code::PLAY_INFO_DAY_ACK));
    ASSERT_EQ(day[0].payload.size(), 2 * kDayRecordSize);  // channel 9 is not on this recorder
    EXPECT_EQ(protocol::be32(day[0].payload.data()), 0x0001u);
    EXPECT_EQ(protocol::be32(day[0].payload.data() + kDayRecordSize), 0x0002u);
    EXPECT_EQ(day[0].payload[kDayRecordSize + 4], 2);
    EXPECT_EQ(protocol::be32(day[0].payload.data() + 16), kTestDay + 3600);

    ASSERT_TRUE(client.sendEventReq(2, 1));
    const auto events = client.answer();
    ASSERT_EQ(events.size(), 1u);
    ASSERT_TRUE(events[0].is(Code::EVENT_INFO_ACK_BYPG));
    ASSERT_EQ(events[0].payload.size(), kEventPageHeaderSize + 3 * kEventRecordSize);
    EXPECT_EQ(protocol::be32(events[0].payload.data() + 4), 23u);
    EXPECT_EQ(protocol::be32(events[0].payload.data() + 8), 2u);
    EXPECT_EQ(protocol::be32(events[0].payload.data() + kEventPageHeaderSize + 16), kTestDay + 3620);
}

TEST(RecordingSearchTest, EmptyAnswersAndNothingRecordedAtAll) {
    {
        auto sim = startSim(searchConfig());
        RecordingsClient client(sim->port());
        ASSERT_TRUE(client.login());
        ASSERT_TRUE(client.sendDayReq(2024, 5, 11));
        auto day = client.answer();
        ASSERT_EQ(day.size(), 1u);
        EXPECT_TRUE(day[0].is(Code::PLAY_INFO_DAY_ACK));
        EXPECT_TRUE(day[0].payload.empty());
        ASSERT_TRUE(client.sendEventReq(7, 0));
        auto events = client.answer();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].payload.size(), kEventPageHeaderSize);
    }
    SimConfig config;
    config.recordings.enabled = false;
    auto sim = startSim(config);
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.send(Code::PLAY_INFO_MONTH_REQ));
    const auto nack = client.next();
    ASSERT_TRUE(nack);
    ASSERT_TRUE(nack->is(Code::PLAY_INFO_MONTH_NACK));
    EXPECT_EQ(protocol::be32(nack->payload.data()), 83u);
}

TEST(RecordingSearchTest, LongAnswersComeInFragmentsCutBetweenRecords) {
    SimConfig config = searchConfig();
    config.recordings.records_per_message = 1;
    auto sim = startSim(config);
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.send(Code::PLAY_INFO_MONTH_REQ));
    const auto month = client.answer();
    ASSERT_EQ(month.size(), 2u);
    EXPECT_FALSE(month[0].header.lastFragment());
    EXPECT_EQ(month[0].payload.size(), kYearRecordSize);
    EXPECT_TRUE(month[1].header.lastFragment());

    ASSERT_TRUE(client.sendEventReq(2, 0));
    const auto events = client.answer();
    ASSERT_EQ(events.size(), 20u);
    EXPECT_EQ(events[0].payload.size(), kEventPageHeaderSize + kEventRecordSize);
    EXPECT_EQ(events[19].payload.size(), kEventRecordSize);
}

TEST(RecordingSearchTest, RefusalsOnDemandAndNoDaysAndShortRequests) {
    SimConfig config = searchConfig();
    config.refusals = {{static_cast<std::uint16_t>(Code::PLAY_INFO_MONTH_REQ), 53},
                       {static_cast<std::uint16_t>(Code::EVENT_INFO_REQ), 98}};
    auto sim = startSim(config);
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    // Short payloads are read and dropped; the next request is answered.
    ASSERT_TRUE(client.send(Code::PLAY_INFO_DAY_REQ, std::array<std::uint8_t, 3>{1, 2, 3}));
    ASSERT_TRUE(client.send(Code::EVENT_INFO_REQ, std::array<std::uint8_t, 9>{}));
    struct Case {
        std::function<bool()> send;
        Code answer;
        std::uint32_t reason;
    };
    const Case cases[] = {
        {[&] { return client.send(Code::PLAY_INFO_MONTH_REQ); }, Code::PLAY_INFO_MONTH_NACK, 53},
        {[&] { return client.sendEventReq(1, 0); }, Code::EVENT_INFO_NACK_BYPG, 98},
        {[&] { return client.sendDayReq(2024, 13, 1); }, Code::PLAY_INFO_DAY_NACK, 1},
        {[&] { return client.sendDayReq(2023, 2, 29); }, Code::PLAY_INFO_DAY_NACK, 1},
        {[&] { return client.sendDayReq(0xFFFF'FFFFu, 1, 1); }, Code::PLAY_INFO_DAY_NACK, 1},
        {[&] { return client.sendDayReq(2024, 5, 0); }, Code::PLAY_INFO_DAY_NACK, 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.send());
        const auto m = client.next();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->code(), static_cast<std::uint16_t>(c.answer));
        ASSERT_EQ(m->payload.size(), 4u);
        EXPECT_EQ(protocol::be32(m->payload.data()), c.reason);
    }
    EXPECT_TRUE(isCalendarDay(2024, 2, 29));
    EXPECT_FALSE(isCalendarDay(2024, 4, 31));
}

}  // namespace
}  // namespace kalix::sim
