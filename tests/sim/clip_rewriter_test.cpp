#include "sim/clip_rewriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "client_decoder.h"
#include "sim/rbsp.h"

namespace kalix::sim {
namespace {

using simtest::ClientDecoder;

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

const std::string kClip = std::string(KALIX_TEST_DATA_DIR) + "/h264/clip704x576.264";

// libx264's output (POC type 2, a 4-bit frame_num wrapping inside the
// 25-frame group, pic_init_qp 30, deblocking fields in every slice, SPS/PPS
// and SEI in the stream) decodes through the client's parameter sets to
// exactly the pictures FFmpeg decodes from the original.
TEST(ClipRewriter, RecordedClipDecodesToTheOriginalPictures) {
    std::string error;
    const auto pictures = loadClip(kClip, error);
    ASSERT_TRUE(pictures) << error;
    const auto expected = readLines(std::string(KALIX_TEST_DATA_DIR) + "/h264/clip704x576.md5");
    ASSERT_EQ(pictures->size(), 30u);
    ASSERT_EQ(expected.size(), 30u);

    ClientDecoder decoder;
    for (std::size_t i = 0; i < pictures->size(); ++i) {
        const ClipPicture& p = (*pictures)[i];
        EXPECT_EQ(p.key, i % 25 == 0) << i;
        ASSERT_EQ(p.width, 704);
        ASSERT_EQ(p.height, 576);
        EXPECT_EQ(decoder.decode(p.bytes, p.key ? SliceKind::Key : SliceKind::Predicted, p.width, p.height),
                  expected[i])
            << "picture " << i;
    }
}

// A clip made up here, field by field, so every header field and every
// refusal can be aimed at.
struct SynthStream {
    // SPS
    unsigned profile = 66;
    unsigned log2_frame_num = 4;
    unsigned poc_type = 2;
    unsigned log2_poc_lsb = 4;
    unsigned refs = 1;
    bool cropping = false;
    // PPS
    bool cabac = false;
    unsigned ref_idx_default = 1;
    bool weighted = false;
    int init_qp = 23;
    int chroma_offset = 2;
    bool deblocking_control = true;
    bool constrained_intra = true;
};

struct SynthSlice {
    bool idr = false;
    unsigned ref_idc = 3;
    unsigned first_mb = 0;
    unsigned type = 5;  // P; 7 I
    unsigned frame_num = 0;
    unsigned poc_lsb = 0;
    int qp_delta = 0;
    std::optional<unsigned> ref_idx_override;
    bool modification = false;
    bool mmco = false;
    unsigned disable_deblocking = 0;
    int alpha = 0;
};

// Data bits of odd length with zero runs that need escaping once packed.
void writeData(RbspWriter& w) {
    w.bits(8, 0x80);
    w.bits(24, 0x000002);
    w.bits(8, 0xA5);
    w.bits(5, 0x16);
}

void appendNal(std::vector<std::uint8_t>& out, std::uint8_t header, RbspWriter& w) {
    w.trailingBits();
    out.insert(out.end(), {0, 0, 1, header});  // three-byte start codes here
    appendEscaped(out, w.bytes());
    out.push_back(0);  // a trailing zero byte, not part of the unit
}

void appendParameterSets(std::vector<std::uint8_t>& out, const SynthStream& s) {
    RbspWriter sps;
    sps.bits(8, s.profile);
    sps.bits(16, 0x001E);
    sps.ue(0);
    sps.ue(s.log2_frame_num - 4);
    sps.ue(s.poc_type);
    if (s.poc_type == 0) sps.ue(s.log2_poc_lsb - 4);
    sps.ue(s.refs);
    sps.bits(1, 0);
    sps.ue(1);  // 32 × 32
    sps.ue(1);
    sps.bits(1, 1);
    sps.bits(1, 1);
    sps.bits(1, s.cropping);
    if (s.cropping) sps.ue(0), sps.ue(0), sps.ue(0), sps.ue(1);
    sps.bits(1, 0);
    appendNal(out, 0x67, sps);

    RbspWriter pps;
    pps.ue(0);
    pps.ue(0);
    pps.bits(1, s.cabac);
    pps.bits(1, 0);
    pps.ue(0);
    pps.ue(s.ref_idx_default - 1);
    pps.ue(0);
    pps.bits(1, s.weighted);
    pps.bits(2, 0);
    pps.se(s.init_qp - 26);
    pps.se(0);
    pps.se(s.chroma_offset);
    pps.bits(1, s.deblocking_control);
    pps.bits(1, s.constrained_intra);
    pps.bits(1, 0);
    appendNal(out, 0x68, pps);
    // An SEI that must not survive.
    out.insert(out.end(), {0, 0, 0, 1, 0x06, 0x05, 0x01, 0xAA, 0x80});
}

void appendSlice(std::vector<std::uint8_t>& out, const SynthStream& s, const SynthSlice& c) {
    RbspWriter w;
    w.ue(c.first_mb);
    w.ue(c.type);
    w.ue(0);
    w.bits(s.log2_frame_num, c.frame_num);
    if (c.idr) w.ue(0);
    if (s.poc_type == 0) w.bits(s.log2_poc_lsb, c.poc_lsb);
    if (c.type % 5 == 0) {
        w.bits(1, c.ref_idx_override.has_value());
        if (c.ref_idx_override) w.ue(*c.ref_idx_override - 1);
        w.bits(1, c.modification);
        if (c.modification) w.ue(3);
    }
    if (c.idr) {
        w.bits(2, 0);
    } else {
        w.bits(1, c.mmco);
        if (c.mmco) w.ue(0);
    }
    w.se(c.qp_delta);
    if (s.deblocking_control) {
        w.ue(c.disable_deblocking);
        if (c.disable_deblocking != 1) {
            w.se(c.alpha);
            w.se(0);
        }
    }
    writeData(w);
    const unsigned type = c.idr ? 5 : 1;
    appendNal(out, static_cast<std::uint8_t>(c.ref_idc << 5 | type), w);
}

// An IDR picture, then `count - 1` P pictures, frame_num wrapping as the
// stream's SPS says; `edit` may change any slice.
std::vector<std::uint8_t> synthClip(const SynthStream& s, unsigned count,
                                    const std::function<void(unsigned, SynthSlice&)>& edit = {}) {
    std::vector<std::uint8_t> out;
    appendParameterSets(out, s);
    for (unsigned i = 0; i < count; ++i) {
        SynthSlice c;
        c.idr = i == 0;
        c.type = c.idr ? 7 : 5;
        c.frame_num = i % (1u << s.log2_frame_num);
        c.poc_lsb = (2 * i) % (1u << s.log2_poc_lsb);
        c.qp_delta = static_cast<int>(i % 5) - 2;
        if (edit) edit(i, c);
        appendSlice(out, s, c);
    }
    return out;
}

// The rewritten slice as the client's parameter sets read it.
struct OutSlice {
    std::uint32_t first_mb = 0, type = 0, pps = 0, frame_num = 0, poc_lsb = 0;
    std::optional<std::uint32_t> idr_pic_id;
    std::optional<std::uint32_t> ref_idx_override;
    std::int32_t qp_delta = 0;
    std::vector<std::uint8_t> data;  // the bits after the header, repacked from bit 0
};

OutSlice readOut(const ClipPicture& p) {
    OutSlice o;
    EXPECT_GE(p.bytes.size(), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(p.bytes.begin(), p.bytes.begin() + 4),
              (std::vector<std::uint8_t>{0, 0, 0, 1}));
    const auto rbsp = unescapePayload(std::span(p.bytes).subspan(5));
    RbspReader r(rbsp);
    o.first_mb = r.ue().value_or(99);
    o.type = r.ue().value_or(99);
    o.pps = r.ue().value_or(99);
    o.frame_num = r.bits(9).value_or(9999);
    if (p.key) o.idr_pic_id = r.ue();
    o.poc_lsb = r.bits(10).value_or(9999);
    if (o.type % 5 == 0) {
        if (r.flag().value_or(false)) o.ref_idx_override = r.ue().value_or(99) + 1;
        EXPECT_FALSE(r.flag().value_or(true));  // no list modification
    }
    EXPECT_EQ(r.bits(p.key ? 2 : 1).value_or(9), 0u);
    o.qp_delta = r.se().value_or(99);
    RbspWriter data;
    EXPECT_TRUE(r.copyTo(data, r.stopBitPosition().value_or(0)));
    data.alignWithZeros();
    o.data.assign(data.bytes().begin(), data.bytes().end());
    EXPECT_FALSE(r.failed());
    return o;
}

std::vector<std::uint8_t> synthData() {
    RbspWriter w;
    writeData(w);
    w.alignWithZeros();
    return {w.bytes().begin(), w.bytes().end()};
}

bool hasStartCodeInside(const std::vector<std::uint8_t>& unit) {
    for (std::size_t i = 4; i + 2 < unit.size(); ++i)
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] <= 2) return true;
    return false;
}

TEST(ClipRewriter, HeadersFollowTheClientsParameterSets) {
    const SynthStream s;
    // Two IDR periods; the 4-bit frame_num wraps twice in the first.
    auto clip = synthClip(s, 40);
    const auto second = synthClip(s, 3);
    clip.insert(clip.end(), second.begin(), second.end());
    std::string error;
    const auto pictures = rewriteClip(clip, error);
    ASSERT_TRUE(pictures) << error;
    ASSERT_EQ(pictures->size(), 43u);
    std::optional<std::uint32_t> first_idr_id;
    for (std::size_t i = 0; i < pictures->size(); ++i) {
        const ClipPicture& p = (*pictures)[i];
        const unsigned index = i < 40 ? static_cast<unsigned>(i) : static_cast<unsigned>(i - 40);
        SCOPED_TRACE(i);
        EXPECT_EQ(p.key, index == 0);
        EXPECT_EQ(p.width, 32);
        EXPECT_EQ(p.height, 32);
        EXPECT_FALSE(hasStartCodeInside(p.bytes));
        EXPECT_EQ(p.bytes[4], index == 0 ? 0x65 : 0x61);
        const OutSlice o = readOut(p);
        EXPECT_EQ(o.first_mb, 0u);
        EXPECT_EQ(o.type, index == 0 ? 7u : 5u);
        EXPECT_EQ(o.pps, 0u);
        EXPECT_EQ(o.frame_num, index);
        EXPECT_EQ(o.poc_lsb, 2 * index);
        EXPECT_EQ(o.qp_delta, 23 + static_cast<int>(index % 5) - 2 - 26);
        EXPECT_FALSE(o.ref_idx_override);
        EXPECT_EQ(o.data, synthData());
        if (index == 0 && !first_idr_id) first_idr_id = o.idr_pic_id;
        if (i == 40) {
            EXPECT_NE(o.idr_pic_id, first_idr_id);
        }
    }
}

TEST(ClipRewriter, LongPeriodsWrapTheClientsFrameNumAndPoc) {
    const SynthStream s;
    std::string error;
    const auto pictures = rewriteClip(synthClip(s, 600), error);
    ASSERT_TRUE(pictures) << error;
    EXPECT_EQ(readOut((*pictures)[511]).frame_num, 511u);
    EXPECT_EQ(readOut((*pictures)[512]).frame_num, 0u);
    EXPECT_EQ(readOut((*pictures)[511]).poc_lsb, 1022u);
    EXPECT_EQ(readOut((*pictures)[512]).poc_lsb, 0u);
}

TEST(ClipRewriter, ReferenceCountKeptWhereItDiffersFromTheClients) {
    SynthStream s;
    s.ref_idx_default = 2;
    std::string error;
    const auto pictures = rewriteClip(synthClip(s, 3, [](unsigned i, SynthSlice& c) {
                                          if (i == 2) c.ref_idx_override = 1;
                                      }),
                                      error);
    ASSERT_TRUE(pictures) << error;
    EXPECT_EQ(readOut((*pictures)[1]).ref_idx_override, 2u);
    EXPECT_FALSE(readOut((*pictures)[2]).ref_idx_override);
}

TEST(ClipRewriter, PocTypeZeroAcceptedInDecodeOrderOnly) {
    SynthStream s;
    s.poc_type = 0;
    s.log2_poc_lsb = 5;  // wraps every 16 pictures
    std::string error;
    const auto pictures = rewriteClip(synthClip(s, 40), error);
    ASSERT_TRUE(pictures) << error;
    EXPECT_EQ(readOut((*pictures)[39]).poc_lsb, 78u);

    const auto reordered = synthClip(s, 5, [](unsigned i, SynthSlice& c) {
        if (i == 3) c.poc_lsb = 2;
    });
    EXPECT_FALSE(rewriteClip(reordered, error));
    EXPECT_NE(error.find("decode order"), std::string::npos) << error;
}

struct Refusal {
    const char* name;
    std::function<void(SynthStream&)> stream;
    std::function<void(unsigned, SynthSlice&)> slice;
    const char* says;
};

class ClipRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(ClipRefused, WithTheReason) {
    const Refusal& r = GetParam();
    SynthStream s;
    if (r.stream) r.stream(s);
    std::string error;
    EXPECT_FALSE(rewriteClip(synthClip(s, 4, r.slice), error));
    EXPECT_NE(error.find(r.says), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Assumptions, ClipRefused,
    ::testing::Values(
        Refusal{"Cabac", [](SynthStream& s) { s.cabac = true; }, {}, "CABAC"},
        Refusal{"ChromaOffset", [](SynthStream& s) { s.chroma_offset = 0; }, {}, "chroma_qp_index_offset is 0"},
        Refusal{"NoConstrainedIntra", [](SynthStream& s) { s.constrained_intra = false; }, {}, "constrained intra"},
        Refusal{"Weighted", [](SynthStream& s) { s.weighted = true; }, {}, "weighted"},
        Refusal{"TwoRefs", [](SynthStream& s) { s.refs = 2; }, {}, "reference frames"},
        Refusal{"PocType1", [](SynthStream& s) { s.poc_type = 1; }, {}, "pic_order_cnt_type 1"},
        Refusal{"HighProfile", [](SynthStream& s) { s.profile = 100; }, {}, "profile 100"},
        Refusal{"Cropped", [](SynthStream& s) { s.cropping = true; }, {}, "cropped"},
        Refusal{"DeblockingOff", {}, [](unsigned i, SynthSlice& c) { if (i == 2) c.disable_deblocking = 1; },
                "disable_deblocking_filter_idc 1"},
        Refusal{"DeblockingOffset", {}, [](unsigned i, SynthSlice& c) { if (i == 1) c.alpha = 1; }, "offsets"},
        Refusal{"BSlice", {}, [](unsigned i, SynthSlice& c) { if (i == 1) c.type = 6; }, "slice type 6"},
        Refusal{"SecondSlice", {}, [](unsigned i, SynthSlice& c) { if (i == 2) c.first_mb = 2; }, "one slice"},
        Refusal{"NonReference", {}, [](unsigned i, SynthSlice& c) { if (i == 3) c.ref_idc = 0; }, "non-reference"},
        Refusal{"FrameNumGap", {}, [](unsigned i, SynthSlice& c) { if (i == 2) c.frame_num = 3; }, "gaps"},
        Refusal{"StartsWithP", {}, [](unsigned i, SynthSlice& c) { if (i == 0) c.idr = false, c.type = 5, c.frame_num = 0; },
                "start with an IDR"},
        Refusal{"ListModification", {}, [](unsigned i, SynthSlice& c) { if (i == 1) c.modification = true; },
                "list modification"},
        Refusal{"Mmco", {}, [](unsigned i, SynthSlice& c) { if (i == 1) c.mmco = true; }, "memory management"},
        Refusal{"QpOutOfRange", {}, [](unsigned i, SynthSlice& c) { if (i == 1) c.qp_delta = 40; }, "out of range"}),
    [](const ::testing::TestParamInfo<Refusal>& param) { return std::string(param.param.name); });

TEST(ClipRewriter, EmptyAndMissingClipsRefused) {
    std::string error;
    EXPECT_FALSE(rewriteClip({}, error));
    EXPECT_NE(error.find("no picture"), std::string::npos);
    std::vector<std::uint8_t> sets;
    appendParameterSets(sets, SynthStream{});
    EXPECT_FALSE(rewriteClip(sets, error));
    EXPECT_FALSE(loadClip("/nonexistent/clip.264", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

// Cut anywhere or with bytes flipped, the recorded clip is rewritten or
// refused with a reason; nothing is read past a unit.
TEST(ClipRewriter, DamagedClipsNeverCrash) {
    const auto clip = readFile(kClip);
    ASSERT_FALSE(clip.empty());
    std::string error;
    for (std::size_t cut = 0; cut < clip.size(); cut += 331) {
        error.clear();
        const auto pictures = rewriteClip(std::span(clip).first(cut), error);
        EXPECT_TRUE(pictures || !error.empty());
    }
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        auto damaged = clip;
        for (int k = 0; k < 20; ++k) damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        error.clear();
        const auto pictures = rewriteClip(damaged, error);
        EXPECT_TRUE(pictures || !error.empty());
    }
}

TEST(Rbsp, ReaderRefusesToReadPastTheEnd) {
    const std::vector<std::uint8_t> bytes{0x00, 0x00, 0x01};  // 23 zeros: a ue that never ends in range
    RbspReader r(bytes);
    EXPECT_FALSE(r.ue());
    EXPECT_TRUE(r.failed());
    EXPECT_FALSE(r.bits(1));  // stays failed

    const std::vector<std::uint8_t> zeros(8, 0);  // 64 zeros: a prefix longer than 31
    RbspReader z(zeros);
    EXPECT_FALSE(z.ue());

    const std::vector<std::uint8_t> one{0xA0};
    RbspReader b(one);
    EXPECT_EQ(b.bits(3), 5u);
    EXPECT_FALSE(b.bits(6));
    EXPECT_EQ(RbspReader(one).stopBitPosition(), 2u);
    EXPECT_FALSE(RbspReader(zeros).stopBitPosition());
}

TEST(Rbsp, EscapingRoundTrips) {
    const std::vector<std::uint8_t> rbsp{0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};
    std::vector<std::uint8_t> escaped;
    appendEscaped(escaped, rbsp);
    EXPECT_EQ(escaped, (std::vector<std::uint8_t>{0, 0, 3, 0, 0, 3, 0, 1, 0, 0, 3, 2, 0, 0, 3, 3, 0, 0, 4, 0, 0}));
    EXPECT_EQ(unescapePayload(escaped), rbsp);
}

}  // namespace
}  // namespace kalix::sim
