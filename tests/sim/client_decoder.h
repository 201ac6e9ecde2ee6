#pragma once
// The client's way of decoding the simulator's slices, for tests.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "media/video/h264_decoder_library.h"
#include "media/video/md5.h"
#include "media/video/stream_header_writer.h"
#include "sim/h264_writer.h"

namespace kalix::sim::simtest {

// The client's side: its own parameter sets in front of every key frame, then
// FFmpeg through the decoder library calls.
class ClientDecoder {
public:
    ClientDecoder() { EXPECT_EQ(media::PT_H264dec_Init(context_), 0); }
    ~ClientDecoder() { media::PT_H264dec_Uninit(context_); }
    ClientDecoder(const ClientDecoder&) = delete;
    ClientDecoder& operator=(const ClientDecoder&) = delete;

    // The md5 of the decoded picture, or the decoder's result code as text.
    std::string decode(const EncodedPicture& coded, int width, int height) {
        return decode(coded.bytes, coded.kind, width, height);
    }

    std::string decode(std::span<const std::uint8_t> slice, SliceKind kind, int width, int height) {
        std::vector<std::uint8_t> input;
        if (kind == SliceKind::Key) {
            media::StreamHeaderWriter header;
            const auto sets = header.writeParameterSets(static_cast<unsigned>(width), static_cast<unsigned>(height));
            input.assign(sets.begin(), sets.end());
        }
        input.insert(input.end(), slice.begin(), slice.end());
        std::vector<std::uint8_t> picture(media::pictureBytes(media::DecoderOutput::PlanarYuv420, width, height));
        const int result = media::PT_H264dec_GetOneFrame(context_, input.data(), static_cast<int>(input.size()), picture);
        if (result != media::kDecodedPicture) return "result " + std::to_string(result);
        if (context_.width != width || context_.height != height) return "wrong size";
        return media::md5Hex(picture);
    }

private:
    media::DecoderContext context_;
};

}  // namespace kalix::sim::simtest
