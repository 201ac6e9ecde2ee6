#include "media/audio/g726.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace kalix::media {
namespace {

std::vector<std::uint8_t> readFile(const std::string& name) {
    std::ifstream in(std::string(KALIX_TEST_DATA_DIR) + "/g726/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::int16_t> readS16(const std::string& name) {
    const auto bytes = readFile(name);
    std::vector<std::int16_t> values(bytes.size() / 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return values;
}

std::size_t firstDifference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

std::size_t firstDifference(std::span<const std::int16_t> a, std::span<const std::int16_t> b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

// --- reference vectors: bit-exact in both directions ----------------------

class G726Vector : public testing::TestWithParam<const char*> {};

TEST_P(G726Vector, EncoderReproducesReferenceCodes) {
    const std::string name = GetParam();
    const auto input = readS16(name + ".in.s16");
    const auto expected = readFile(name + ".codes.g726");
    ASSERT_EQ(g726PackedBytes(input.size()), expected.size());

    G726Encoder encoder;
    std::vector<std::uint8_t> out(expected.size());
    const G726Result result = encoder.encode(input, out);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.written, expected.size());
    EXPECT_EQ(firstDifference(out, expected), expected.size()) << "first differing byte";
}

TEST_P(G726Vector, DecoderReproducesReferenceOutput) {
    const std::string name = GetParam();
    const auto codes = readFile(name + ".codes.g726");
    const auto expected = readS16(name + ".dec.s16");
    ASSERT_EQ(g726SampleCount(codes.size()), expected.size());

    G726Decoder decoder;
    std::vector<std::int16_t> out(expected.size());
    const G726Result result = decoder.decode(codes, out);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.written, expected.size());
    EXPECT_EQ(firstDifference(out, expected), expected.size()) << "first differing value";
}

// The capture path cuts a stream into 4,096-value buffers and the player
// decodes 48-byte blocks; the state must carry over every cut.
TEST_P(G726Vector, StateCarriesAcrossBlocks) {
    const std::string name = GetParam();
    const auto input = readS16(name + ".in.s16");
    const auto codes = readFile(name + ".codes.g726");
    const auto expected = readS16(name + ".dec.s16");

    G726Encoder encoder;
    std::vector<std::uint8_t> encoded;
    for (std::size_t i = 0; i < input.size(); i += 128) {
        std::array<std::uint8_t, 48> block{};
        const auto result = encoder.encode(std::span(input).subspan(i, 128), block);
        ASSERT_EQ(result.written, block.size());
        encoded.insert(encoded.end(), block.begin(), block.end());
    }
    EXPECT_EQ(firstDifference(encoded, codes), codes.size());

    G726Decoder decoder;
    std::vector<std::int16_t> decoded;
    for (std::size_t i = 0; i < codes.size(); i += 48) {
        std::array<std::int16_t, 128> values{};
        const auto result = decoder.decode(std::span(codes).subspan(i, 48), values);
        ASSERT_EQ(result.written, values.size());
        decoded.insert(decoded.end(), values.begin(), values.end());
    }
    EXPECT_EQ(firstDifference(decoded, expected), expected.size());
}

TEST_P(G726Vector, ResetRestoresTheInitialState) {
    const std::string name = GetParam();
    const auto input = readS16(name + ".in.s16");
    const auto codes = readFile(name + ".codes.g726");
    const auto first = std::span(input).first(4096);

    G726Encoder encoder;
    std::vector<std::uint8_t> out(g726PackedBytes(first.size()));
    encoder.encode(std::span(input).subspan(5000, 4096), out);
    encoder.reset();
    ASSERT_TRUE(encoder.encode(first, out).ok());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), codes.begin()));

    G726Decoder decoder;
    std::vector<std::int16_t> values(4096);
    decoder.decode(std::span(codes).subspan(3000, 1536), values);
    decoder.reset();
    ASSERT_TRUE(decoder.decode(std::span(codes).first(1536), values).ok());
    const auto expected = readS16(name + ".dec.s16");
    EXPECT_TRUE(std::equal(values.begin(), values.end(), expected.begin()));
}

INSTANTIATE_TEST_SUITE_P(ReferenceVectors, G726Vector, testing::Values("twotone", "chirp", "talk_stereo"));

// --- packing -------------------------------------------------------------

TEST(G726Packing, FirstCodeSitsInTheLowestBits) {
    const std::array<std::uint8_t, 3> packed{0xD1, 0x58, 0x1F};
    const std::array<std::uint8_t, 8> codes{1, 2, 3, 4, 5, 6, 7, 0};

    G726Decoder from_bytes;
    G726Decoder from_codes;
    std::array<std::int16_t, 8> values{};
    ASSERT_EQ(from_bytes.decode(packed, values).written, 8u);
    for (std::size_t i = 0; i < codes.size(); ++i)
        EXPECT_EQ(values[i], from_codes.decodeCode(codes[i])) << "code " << i;
}

TEST(G726Packing, DecoderReadsOnlyTheLowThreeBitsOfACode) {
    G726Decoder plain;
    G726Decoder noisy;
    for (const int code : {3, 5, 0, 7, 1, 6, 2, 4})
        EXPECT_EQ(plain.decodeCode(static_cast<std::uint8_t>(code)), noisy.decodeCode(static_cast<std::uint8_t>(code | 0xF8)));
}

// --- sizes ---------------------------------------------------------------

TEST(G726Sizes, CaptureBufferAndAudioBlock) {
    EXPECT_EQ(g726PackedBytes(4096), 1536u);  // 8,192-byte capture buffer
    EXPECT_EQ(g726SampleCount(48), 128u);     // one audio block
    EXPECT_EQ(g726SampleCount(40 * 48), 5120u);
}

TEST(G726Sizes, EncoderRefusesWhatDoesNotFitAndKeepsItsState) {
    std::vector<std::int16_t> samples(16, 1234);
    std::array<std::uint8_t, 8> out{};
    out.fill(0xAA);
    G726Encoder encoder;

    const G726Result partial = encoder.encode(std::span(samples).first(15), out);
    EXPECT_EQ(partial.status, G726Status::PartialGroup);
    EXPECT_EQ(partial.written, 0u);

    const G726Result short_out = encoder.encode(samples, std::span(out).first(5));
    EXPECT_EQ(short_out.status, G726Status::OutputTooSmall);
    EXPECT_EQ(short_out.written, 0u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xAA; }));

    const G726Result empty = encoder.encode({}, {});
    EXPECT_TRUE(empty.ok());
    EXPECT_EQ(empty.written, 0u);

    // Nothing above touched the state: the result equals a fresh coder's.
    G726Encoder fresh;
    std::array<std::uint8_t, 6> expected{};
    ASSERT_TRUE(fresh.encode(samples, expected).ok());
    ASSERT_EQ(encoder.encode(samples, out).written, 6u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
    EXPECT_EQ(out[6], 0xAA);
}

TEST(G726Sizes, DecoderRefusesWhatDoesNotFitAndKeepsItsState) {
    const std::array<std::uint8_t, 7> packed{0x12, 0x9F, 0x44, 0xE1, 0x07, 0x3C, 0x55};
    std::array<std::int16_t, 17> out{};
    out.fill(-7);
    G726Decoder decoder;

    EXPECT_EQ(decoder.decode(packed, out).status, G726Status::PartialGroup);
    EXPECT_EQ(decoder.decode(std::span(packed).first(6), std::span(out).first(15)).status,
              G726Status::OutputTooSmall);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == -7; }));

    G726Decoder fresh;
    std::array<std::int16_t, 16> expected{};
    ASSERT_TRUE(fresh.decode(std::span(packed).first(6), expected).ok());
    ASSERT_EQ(decoder.decode(std::span(packed).first(6), out).written, 16u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
    EXPECT_EQ(out[16], -7);
}

// --- loud and hostile input ----------------------------------------------

// A loud square wave makes the reconstruction overshoot the 14-bit range
// just after its edges. Saturated, the overshoot stays at the rail on the side
// of the signal; wrapped, it would jump to the opposite side: a click.
TEST(G726Loudness, OvershootSaturatesInsteadOfWrapping) {
    constexpr std::size_t kHalfPeriod = 20;  // 200 Hz at 8 kHz
    std::vector<std::int16_t> square(8000);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = (i / kHalfPeriod) % 2 == 0 ? std::int16_t{23000} : std::int16_t{-23000};

    G726Encoder encoder;
    std::vector<std::uint8_t> codes(g726PackedBytes(square.size()));
    ASSERT_TRUE(encoder.encode(square, codes).ok());
    G726Decoder decoder;
    std::vector<std::int16_t> decoded(square.size());
    ASSERT_TRUE(decoder.decode(codes, decoded).ok());

    std::size_t at_rail = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] != 32767 && decoded[i] != -32768) continue;
        ++at_rail;
        EXPECT_EQ(decoded[i] > 0, square[i] > 0) << "sample " << i;
    }
    EXPECT_GT(at_rail, 0u) << "the wave should drive the reconstruction past full scale";

    // Once adapted, the decoder follows each edge within two samples; after
    // that it stays near the wave.
    for (std::size_t i = 400; i < decoded.size(); ++i) {
        if (i % kHalfPeriod < 2) continue;
        EXPECT_LT(std::abs(decoded[i] - square[i]), 24000) << "sample " << i;
    }
}

TEST(G726Loudness, ArbitraryCodesAndExtremeSamplesStayWellDefined) {
    std::mt19937 random(726);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> sample(-32768, 32767);

    G726Decoder decoder;
    std::vector<std::uint8_t> garbage(48 * 500);
    for (auto& b : garbage) b = static_cast<std::uint8_t>(byte(random));
    std::vector<std::int16_t> values(g726SampleCount(garbage.size()));
    EXPECT_TRUE(decoder.decode(garbage, values).ok());

    // Full-scale noise, rails and a long constant run push the predictor
    // coefficients to their limits.
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 20000; ++i) samples.push_back(static_cast<std::int16_t>(sample(random)));
    for (int i = 0; i < 20000; ++i) samples.push_back(i % 2 == 0 ? std::int16_t{32767} : std::int16_t{-32768});
    samples.insert(samples.end(), 40000, std::int16_t{-32768});
    G726Encoder encoder;
    std::vector<std::uint8_t> codes(g726PackedBytes(samples.size()));
    ASSERT_TRUE(encoder.encode(samples, codes).ok());

    // After the hostile stretches the coder still settles on the rail.
    G726Decoder follower;
    std::vector<std::int16_t> decoded(samples.size());
    ASSERT_TRUE(follower.decode(codes, decoded).ok());
    EXPECT_LT(std::abs(decoded.back() + 32768), 2048);
}

}  // namespace
}  // namespace kalix::media
