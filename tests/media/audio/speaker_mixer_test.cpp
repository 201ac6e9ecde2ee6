#include "media/audio/speaker_mixer.h"

#include <gtest/gtest.h>

namespace kalix::media {
namespace {

TEST(SpeakerMixer, LevelsMapOntoTheElementRangeAndBack) {
    struct Case {
        std::int64_t min, max;
    };
    for (const auto c : {Case{0, 31}, Case{0, 87}, Case{-10239, 400}, Case{0, 65536}, Case{0, 1}}) {
        EXPECT_EQ(mixerRawFromLevel(0, c.min, c.max), c.min);
        EXPECT_EQ(mixerRawFromLevel(65535, c.min, c.max), c.max);
        EXPECT_EQ(mixerLevelFromRaw(c.min, c.min, c.max), 0u);
        EXPECT_EQ(mixerLevelFromRaw(c.max, c.min, c.max), 65535u);
        for (std::int64_t raw = c.min; raw <= c.max; raw += std::max<std::int64_t>(1, (c.max - c.min) / 50))
            EXPECT_EQ(mixerRawFromLevel(mixerLevelFromRaw(raw, c.min, c.max), c.min, c.max), raw);
    }
    EXPECT_EQ(mixerRawFromLevel(70000, 0, 100), 100);    // above full scale
    EXPECT_EQ(mixerLevelFromRaw(500, 0, 100), 65535u);   // outside the range
    EXPECT_EQ(mixerLevelFromRaw(-5, 0, 100), 0u);
    EXPECT_EQ(mixerRawFromLevel(30000, 7, 7), 7);        // an empty range
    EXPECT_EQ(mixerLevelFromRaw(7, 7, 7), 0u);
    EXPECT_EQ(mixerLevelFromRaw(3, 9, 2), 0u);           // a reversed range
}

// This machine has no sound card: every call gives its failure value.
TEST(SpeakerMixer, WithoutACardEveryCallGivesItsFailureValue) {
    SpeakerMixer mixer;
    EXPECT_EQ(mixer.volume(), -1);  // before open
    EXPECT_FALSE(mixer.open());
    EXPECT_FALSE(mixer.isOpen());
    EXPECT_EQ(mixer.volume(), -1);
    EXPECT_FALSE(mixer.setVolume(30000));
    EXPECT_FALSE(mixer.muted());
    EXPECT_FALSE(mixer.setMuted(true));
    EXPECT_FALSE(mixer.open("no-such-card", "Master"));
    mixer.close();
    EXPECT_EQ(mixer.volume(), -1);
}

}  // namespace
}  // namespace kalix::media
