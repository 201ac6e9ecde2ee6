#include "sim/clip_rewriter.h"

#include <array>
#include <fstream>
#include <iterator>

#include "sim/rbsp.h"

namespace kalix::sim {
namespace {

// NAL unit types.
constexpr unsigned kNalSlice = 1;
constexpr unsigned kNalPartitionA = 2;
constexpr unsigned kNalPartitionC = 4;
constexpr unsigned kNalIdr = 5;
constexpr unsigned kNalSps = 7;
constexpr unsigned kNalPps = 8;
constexpr unsigned kNalSliceExtension = 20;
constexpr unsigned kNalDepthSliceExtension = 21;

// What the client's own parameter sets say.
constexpr unsigned kOutFrameNumBits = 9;
constexpr unsigned kOutPocLsbBits = 10;
constexpr int kOutPicInitQp = 26;
constexpr std::int32_t kChromaQpOffset = 2;
constexpr std::uint32_t kOutRefIdxDefault = 1;
constexpr std::uint32_t kIdrPicIdLimit = 65536;

constexpr std::size_t kMaxClipBytes = std::size_t{256} << 20;
constexpr std::uint8_t kStartCode[] = {0x00, 0x00, 0x00, 0x01};

struct Sps {
    unsigned log2_max_frame_num = 4;
    unsigned poc_type = 0;
    unsigned log2_max_poc_lsb = 4;
    int width = 0;
    int height = 0;
};

struct Pps {
    unsigned sps_id = 0;
    bool bottom_field_pic_order = false;
    std::uint32_t ref_idx_l0_default = 1;  // num_ref_idx_l0_default_active
    int pic_init_qp = 26;
    bool deblocking_control = false;
};

// Parameter set fields take values up to these.
constexpr std::size_t kSpsIds = 32;
constexpr std::size_t kPpsIds = 256;

// Splits an Annex B stream at its start codes; zero bytes in front of a start
// code (trailing_zero_8bits, the first zero of a four-byte code) are not part
// of the unit before it.
std::vector<std::span<const std::uint8_t>> splitUnits(std::span<const std::uint8_t> stream) {
    std::vector<std::span<const std::uint8_t>> units;
    const std::size_t n = stream.size();
    std::size_t begin = n;  // start of the current unit; n = none yet
    std::size_t i = 0;
    auto close = [&](std::size_t end) {
        while (end > begin && stream[end - 1] == 0) --end;
        if (begin < end) units.push_back(stream.subspan(begin, end - begin));
    };
    while (i + 2 < n) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            if (begin < n) close(i);
            i += 3;
            begin = i;
        } else {
            ++i;
        }
    }
    if (begin < n) close(n);
    return units;
}

class Rewriter {
public:
    bool unit(std::span<const std::uint8_t> nal, std::string& error);
    std::vector<ClipPicture> take() { return std::move(pictures_); }
    bool empty() const { return pictures_.empty(); }

private:
    bool parseSps(RbspReader& r, std::string& error);
    bool parsePps(RbspReader& r, std::string& error);
    bool slice(std::uint8_t header, RbspReader& r, std::string& error);

    std::array<std::optional<Sps>, kSpsIds> sps_;
    std::array<std::optional<Pps>, kPpsIds> pps_;
    std::vector<ClipPicture> pictures_;

    // Where the stream is since its last IDR picture.
    bool have_idr_ = false;
    std::uint32_t src_frame_num_ = 0;
    std::uint64_t frame_index_ = 0;
    std::uint32_t idr_count_ = 0;
    std::int64_t poc_ = 0;  // POC type 0: the previous picture's
    std::int64_t poc_msb_ = 0;
    std::uint32_t poc_lsb_ = 0;
};

std::string pictureText(std::size_t index) { return "picture " + std::to_string(index) + ": "; }

bool Rewriter::unit(std::span<const std::uint8_t> nal, std::string& error) {
    const std::uint8_t header = nal[0];
    if ((header & 0x80) != 0) {
        error = "a NAL unit has its forbidden bit set";
        return false;
    }
    const unsigned type = header & 0x1Fu;
    const std::vector<std::uint8_t> rbsp = unescapePayload(nal.subspan(1));
    RbspReader r(rbsp);
    switch (type) {
    case kNalSlice:
    case kNalIdr:
        return slice(header, r, error);
    case kNalSps:
        return parseSps(r, error);
    case kNalPps:
        return parsePps(r, error);
    default:
        if ((type >= kNalPartitionA && type <= kNalPartitionC) || type == kNalSliceExtension ||
            type == kNalDepthSliceExtension) {
            error = "NAL unit type " + std::to_string(type) + " (partitioned or extension slices) is not supported";
            return false;
        }
        return true;  // SEI, delimiters, end of sequence, filler and the like: dropped
    }
}

bool Rewriter::parseSps(RbspReader& r, std::string& error) {
    const auto profile = r.bits(8);
    r.bits(16);  // constraint flags, reserved bits, level
    const auto id = r.ue();
    if (r.failed()) {
        error = "a sequence parameter set is cut short";
        return false;
    }
    if (*profile != 66 && *profile != 77 && *profile != 88) {
        error = "profile " + std::to_string(*profile) + " is not Baseline-compatible";
        return false;
    }
    if (*id >= kSpsIds) {
        error = "sequence parameter set id out of range";
        return false;
    }
    Sps sps;
    const auto frame_num = r.ue();
    const auto poc_type = r.ue();
    if (!frame_num || !poc_type || *frame_num > 12) {
        error = "a sequence parameter set is malformed";
        return false;
    }
    sps.log2_max_frame_num = *frame_num + 4;
    sps.poc_type = *poc_type;
    if (sps.poc_type == 0) {
        const auto lsb = r.ue();
        if (!lsb || *lsb > 12) {
            error = "a sequence parameter set is malformed";
            return false;
        }
        sps.log2_max_poc_lsb = *lsb + 4;
    } else if (sps.poc_type != 2) {
        error = "pic_order_cnt_type " + std::to_string(sps.poc_type) + " is not supported (0 and 2 are)";
        return false;
    }
    const auto refs = r.ue();
    r.flag();  // gaps_in_frame_num_value_allowed: gaps are refused where they occur
    const auto width_mbs = r.ue();
    const auto height_mbs = r.ue();
    const auto frames_only = r.flag();
    r.flag();  // direct_8x8_inference
    const auto cropping = r.flag();
    if (r.failed()) {
        error = "a sequence parameter set is cut short";
        return false;
    }
    if (*refs > 1) {
        error = "the clip uses " + std::to_string(*refs) + " reference frames; one at most is supported";
        return false;
    }
    if (!*frames_only) {
        error = "field coding is not supported";
        return false;
    }
    if (*cropping) {
        error = "cropped pictures are not supported (the size must be whole macroblocks)";
        return false;
    }
    if (*width_mbs >= 255 || *height_mbs >= 255) {
        error = "the picture is larger than 255 macroblocks a side";
        return false;
    }
    sps.width = static_cast<int>(*width_mbs + 1) * 16;
    sps.height = static_cast<int>(*height_mbs + 1) * 16;
    sps_[*id] = sps;
    return true;
}

bool Rewriter::parsePps(RbspReader& r, std::string& error) {
    const auto id = r.ue();
    const auto sps_id = r.ue();
    const auto cabac = r.flag();
    const auto bottom_field = r.flag();
    const auto slice_groups = r.ue();
    if (r.failed()) {
        error = "a picture parameter set is cut short";
        return false;
    }
    if (*id >= kPpsIds || *sps_id >= kSpsIds) {
        error = "parameter set id out of range";
        return false;
    }
    if (*cabac) {
        error = "CABAC is not supported (the clip must use CAVLC)";
        return false;
    }
    if (*slice_groups != 0) {
        error = "slice groups are not supported";
        return false;
    }
    Pps pps;
    pps.sps_id = *sps_id;
    pps.bottom_field_pic_order = *bottom_field;
    const auto l0 = r.ue();
    r.ue();  // l1
    const auto weighted = r.flag();
    r.bits(2);  // weighted_bipred_idc
    const auto init_qp = r.se();
    r.se();  // pic_init_qs
    const auto chroma_offset = r.se();
    const auto deblocking = r.flag();
    const auto constrained_intra = r.flag();
    const auto redundant = r.flag();
    if (r.failed() || *l0 > 31 || *init_qp < -26 || *init_qp > 25) {
        error = "a picture parameter set is malformed";
        return false;
    }
    if (*weighted) {
        error = "weighted prediction is not supported";
        return false;
    }
    if (*chroma_offset != kChromaQpOffset) {
        error = "chroma_qp_index_offset is " + std::to_string(*chroma_offset) + "; it must be 2";
        return false;
    }
    if (!*constrained_intra) {
        error = "constrained intra prediction is off; it must be on";
        return false;
    }
    if (*redundant) {
        error = "redundant pictures are not supported";
        return false;
    }
    if (!r.atTrailingBits()) {
        error = "the picture parameter set has High-profile fields (8x8 transform, scaling lists)";
        return false;
    }
    pps.ref_idx_l0_default = *l0 + 1;
    pps.pic_init_qp = 26 + *init_qp;
    pps.deblocking_control = *deblocking;
    pps_[*id] = pps;
    return true;
}

bool Rewriter::slice(std::uint8_t header, RbspReader& r, std::string& error) {
    const std::string at = pictureText(pictures_.size());
    const bool idr = (header & 0x1Fu) == kNalIdr;
    if ((header & 0x60) == 0) {
        error = at + "non-reference pictures are not supported";
        return false;
    }
    const auto first_mb = r.ue();
    const auto slice_type = r.ue();
    const auto pps_id = r.ue();
    if (r.failed() || *pps_id >= kPpsIds) {
        error = at + "the slice header is malformed";
        return false;
    }
    if (*first_mb != 0) {
        error = at + "more than one slice per picture is not supported";
        return false;
    }
    const unsigned kind = *slice_type % 5;  // 0 P, 1 B, 2 I, 3 SP, 4 SI
    if (*slice_type > 9 || (kind != 0 && kind != 2)) {
        error = at + "slice type " + std::to_string(*slice_type) + " is not supported (I and P are)";
        return false;
    }
    const bool predicted = kind == 0;
    if (!pps_[*pps_id] || !sps_[pps_[*pps_id]->sps_id]) {
        error = at + "the slice refers to a parameter set the clip has not given";
        return false;
    }
    const Pps& pps = *pps_[*pps_id];
    const Sps& sps = *sps_[pps.sps_id];
    if (!pictures_.empty() && (sps.width != pictures_.front().width || sps.height != pictures_.front().height)) {
        error = at + "the picture size changes within the clip";
        return false;
    }
    if (!idr && !have_idr_) {
        error = at + "the clip must start with an IDR picture";
        return false;
    }

    const auto frame_num = r.bits(sps.log2_max_frame_num);
    std::optional<std::uint32_t> idr_pic_id;
    if (idr) idr_pic_id = r.ue();
    std::optional<std::uint32_t> poc_lsb;
    if (sps.poc_type == 0) {
        poc_lsb = r.bits(sps.log2_max_poc_lsb);
        if (pps.bottom_field_pic_order) r.se();
    }
    if (r.failed()) {
        error = at + "the slice header is cut short";
        return false;
    }

    // Unwrap frame_num: each reference picture adds one, and every picture is one.
    const std::uint32_t max_frame_num = 1u << sps.log2_max_frame_num;
    if (idr) {
        if (*frame_num != 0) {
            error = at + "an IDR picture with frame_num " + std::to_string(*frame_num);
            return false;
        }
        have_idr_ = true;
        frame_index_ = 0;
        poc_ = 0;
        poc_msb_ = 0;
        poc_lsb_ = 0;
    } else {
        if (*frame_num != (src_frame_num_ + 1) % max_frame_num) {
            error = at + "frame_num " + std::to_string(*frame_num) + " after " + std::to_string(src_frame_num_) +
                    " (gaps are not supported)";
            return false;
        }
        ++frame_index_;
    }
    src_frame_num_ = *frame_num;

    if (poc_lsb) {
        // The picture's POC (8.2.1.1); it must grow, as the pictures are shown
        // in the order they come.
        const std::int64_t max_lsb = std::int64_t{1} << sps.log2_max_poc_lsb;
        const std::int64_t lsb = *poc_lsb;
        const std::int64_t prev = poc_lsb_;
        std::int64_t msb = poc_msb_;
        if (lsb < prev && prev - lsb >= max_lsb / 2) msb += max_lsb;
        else if (lsb > prev && lsb - prev > max_lsb / 2) msb -= max_lsb;
        const std::int64_t poc = msb + lsb;
        if (!idr && poc <= poc_) {
            error = at + "pictures are not shown in decode order (POC goes back)";
            return false;
        }
        if (idr && poc != 0) {
            error = at + "an IDR picture with a non-zero POC";
            return false;
        }
        poc_ = poc;
        poc_msb_ = msb;
        poc_lsb_ = *poc_lsb;
    }

    std::uint32_t ref_idx_l0 = pps.ref_idx_l0_default;
    if (predicted) {
        const auto override_flag = r.flag();
        if (override_flag && *override_flag) {
            const auto value = r.ue();
            if (!value || *value > 31) {
                error = at + "the slice header is malformed";
                return false;
            }
            ref_idx_l0 = *value + 1;
        }
        const auto modification = r.flag();
        if (modification && *modification) {
            error = at + "reference list modification is not supported";
            return false;
        }
    }
    std::optional<bool> no_output_of_prior;
    if (idr) {
        no_output_of_prior = r.flag();
        const auto long_term = r.flag();
        if (long_term && *long_term) {
            error = at + "long-term reference pictures are not supported";
            return false;
        }
    } else {
        const auto adaptive = r.flag();
        if (adaptive && *adaptive) {
            error = at + "memory management operations are not supported";
            return false;
        }
    }
    const auto qp_delta = r.se();
    if (r.failed()) {
        error = at + "the slice header is cut short";
        return false;
    }
    const std::int64_t qp = std::int64_t{pps.pic_init_qp} + *qp_delta;
    if (qp < 0 || qp > 51) {
        error = at + "slice QP " + std::to_string(qp) + " is out of range";
        return false;
    }
    if (pps.deblocking_control) {
        const auto disable = r.ue();
        if (!disable) {
            error = at + "the slice header is cut short";
            return false;
        }
        if (*disable != 0) {
            error = at + "the deblocking filter is off or limited to slices (disable_deblocking_filter_idc " +
                    std::to_string(*disable) + "); it must be on";
            return false;
        }
        const auto alpha = r.se();
        const auto beta = r.se();
        if (r.failed()) {
            error = at + "the slice header is cut short";
            return false;
        }
        if (*alpha != 0 || *beta != 0) {
            error = at + "deblocking offsets must be 0";
            return false;
        }
    }
    const auto stop = r.stopBitPosition();
    if (!stop || *stop < r.position()) {
        error = at + "the slice has no data";
        return false;
    }

    RbspWriter w;
    w.ue(0);  // first_mb_in_slice
    w.ue(*slice_type);
    w.ue(0);  // pic_parameter_set_id
    w.bits(kOutFrameNumBits, static_cast<std::uint32_t>(frame_index_ % (1u << kOutFrameNumBits)));
    if (idr) w.ue(idr_count_++ % kIdrPicIdLimit);
    w.bits(kOutPocLsbBits, static_cast<std::uint32_t>((2 * frame_index_) % (1u << kOutPocLsbBits)));
    if (predicted) {
        const bool override_refs = ref_idx_l0 != kOutRefIdxDefault;
        w.bits(1, override_refs ? 1 : 0);
        if (override_refs) w.ue(ref_idx_l0 - 1);
        w.bits(1, 0);  // ref_pic_list_modification_flag_l0
    }
    if (idr) {
        w.bits(1, *no_output_of_prior ? 1 : 0);
        w.bits(1, 0);  // long_term_reference_flag
    } else {
        w.bits(1, 0);  // adaptive_ref_pic_marking_mode_flag
    }
    w.se(static_cast<std::int32_t>(qp - kOutPicInitQp));
    if (!r.copyTo(w, *stop)) {
        error = at + "the slice data could not be copied";
        return false;
    }
    w.trailingBits();

    ClipPicture picture;
    picture.key = idr;
    picture.width = sps.width;
    picture.height = sps.height;
    picture.bytes.assign(std::begin(kStartCode), std::end(kStartCode));
    picture.bytes.push_back(header);
    appendEscaped(picture.bytes, w.bytes());
    pictures_.push_back(std::move(picture));
    return true;
}

}  // namespace

std::optional<std::vector<ClipPicture>> rewriteClip(std::span<const std::uint8_t> stream, std::string& error) {
    Rewriter rewriter;
    for (const auto nal : splitUnits(stream)) {
        if (!rewriter.unit(nal, error)) return std::nullopt;
    }
    if (rewriter.empty()) {
        error = "the clip holds no picture";
        return std::nullopt;
    }
    return rewriter.take();
}

std::optional<std::vector<ClipPicture>> loadClip(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open clip " + path;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxClipBytes) {
            error = "clip " + path + " is larger than 256 MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "cannot read clip " + path;
        return std::nullopt;
    }
    auto pictures = rewriteClip(bytes, error);
    if (!pictures) error = path + ": " + error;
    return pictures;
}

}  // namespace kalix::sim
