#include "media/video/stream_header_writer.h"

#include <bit>

namespace kalix::media {

namespace {

constexpr std::uint32_t kStartCode = 0x00000001;
constexpr std::uint32_t kNalSps = 0x67;  // nal_ref_idc 3, type 7
constexpr std::uint32_t kNalPps = 0x68;  // nal_ref_idc 3, type 8
constexpr std::uint32_t kProfileBaseline = 66;
constexpr std::uint32_t kLevel30 = 30;
constexpr unsigned kMaxMacroblocks = 255;  // the frame header holds size / 16 in a byte

}  // namespace

void StreamHeaderWriter::reset() {
    buffer_.fill(0);
    bit_count_ = 0;
    overflowed_ = false;
}

void StreamHeaderWriter::writeBit(bool bit) {
    if (bit_count_ >= kCapacity * 8) {
        overflowed_ = true;
        return;
    }
    if (bit) buffer_[bit_count_ / 8] |= static_cast<std::uint8_t>(0x80u >> (bit_count_ % 8));
    ++bit_count_;
}

void StreamHeaderWriter::writeBits(unsigned count, std::uint32_t value) {
    if (count > 32) count = 32;
    for (unsigned i = count; i-- > 0;) writeBit(((value >> i) & 1u) != 0);
}

void StreamHeaderWriter::writeUe(std::uint32_t value) {
    // value + 1 in 2k + 1 bits, k = the bit length of value + 1, less one.
    const std::uint64_t code = std::uint64_t{value} + 1;
    const auto k = static_cast<unsigned>(std::bit_width(code) - 1);
    writeBits(k, 0);
    for (unsigned i = k + 1; i-- > 0;) writeBit(((code >> i) & 1u) != 0);
}

void StreamHeaderWriter::writeSe(std::int32_t value) {
    // 1 → 1, −1 → 2, 2 → 3, …: positive values take the odd code numbers.
    const std::int64_t v = value;
    const std::uint64_t code_num = v > 0 ? static_cast<std::uint64_t>(2 * v - 1)
                                         : static_cast<std::uint64_t>(-2 * v);
    writeUe(static_cast<std::uint32_t>(code_num));
}

void StreamHeaderWriter::writeTrailingBits() {
    writeBit(true);
    while (bit_count_ % 8 != 0 && !overflowed_) writeBit(false);
}

std::span<const std::uint8_t> StreamHeaderWriter::writeParameterSets(unsigned width, unsigned height) {
    reset();
    if (width == 0 || height == 0 || width % 16 != 0 || height % 16 != 0 ||
        width / 16 > kMaxMacroblocks || height / 16 > kMaxMacroblocks)
        return {};

    writeBits(32, kStartCode);
    writeBits(8, kNalSps);
    writeBits(8, kProfileBaseline);
    writeBits(4, 0);  // constraint flags
    writeBits(4, 0);  // reserved
    writeBits(8, kLevel30);
    writeUe(0);  // seq_parameter_set_id
    writeUe(5);  // log2_max_frame_num - 4
    writeUe(0);  // pic_order_cnt_type
    writeUe(6);  // log2_max_pic_order_cnt_lsb - 4
    writeUe(1);  // max_num_ref_frames
    writeBits(1, 0);  // gaps_in_frame_num_allowed
    writeUe(width / 16 - 1);
    writeUe(height / 16 - 1);
    writeBits(1, 1);  // frame_mbs_only
    writeBits(1, 1);  // direct_8x8_inference
    writeBits(1, 0);  // frame_cropping
    writeBits(1, 0);  // vui_parameters_present
    writeTrailingBits();

    writeBits(32, kStartCode);
    writeBits(8, kNalPps);
    writeUe(0);  // pic_parameter_set_id
    writeUe(0);  // seq_parameter_set_id
    writeBits(1, 0);  // entropy_coding_mode: CAVLC
    writeBits(1, 0);  // bottom_field_pic_order_in_frame_present
    writeUe(0);  // num_slice_groups - 1
    writeUe(0);  // num_ref_idx_l0_default_active - 1
    writeUe(0);  // num_ref_idx_l1_default_active - 1
    writeBits(1, 0);  // weighted_pred
    writeBits(2, 0);  // weighted_bipred_idc
    writeSe(0);  // pic_init_qp - 26
    writeSe(0);  // pic_init_qs - 26
    writeSe(2);  // chroma_qp_index_offset
    writeBits(1, 0);  // deblocking_filter_control_present
    writeBits(1, 1);  // constrained_intra_pred
    writeBits(1, 0);  // redundant_pic_cnt_present
    writeTrailingBits();
    return bytes();
}

}  // namespace kalix::media
