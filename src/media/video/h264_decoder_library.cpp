#include "media/video/h264_decoder_library.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <cstring>
#include <vector>

#include "media/video/yuv_to_rgb.h"
#include "protocol/trace.h"

namespace kalix::media {

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

void copyPlane(std::uint8_t* out, const std::uint8_t* in, int in_stride, int width, int rows) {
    for (int r = 0; r < rows; ++r)
        std::memcpy(out + static_cast<std::ptrdiff_t>(r) * width, in + static_cast<std::ptrdiff_t>(r) * in_stride,
                    static_cast<std::size_t>(width));
}

}  // namespace

class H264Engine {
public:
    bool open() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        if (codec == nullptr) return false;
        codec_.reset(avcodec_alloc_context3(codec));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!codec_ || !frame_ || !packet_) return false;
        codec_->flags |= AV_CODEC_FLAG_LOW_DELAY;
        codec_->thread_count = 1;
        return avcodec_open2(codec_.get(), codec, nullptr) == 0;
    }

    int decode(DecoderContext& context, const std::uint8_t* input, int length, std::span<std::uint8_t> picture) {
        if (length <= 0 || input == nullptr) return kDecodeNoPicture;
        // The decoder reads a little past the end of its input: keep a
        // zero-padded copy.
        const auto n = static_cast<std::size_t>(length);
        input_.resize(n + AV_INPUT_BUFFER_PADDING_SIZE);
        std::memcpy(input_.data(), input, n);
        std::memset(input_.data() + n, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        packet_->data = input_.data();
        packet_->size = length;
        const int sent = avcodec_send_packet(codec_.get(), packet_.get());
        packet_->data = nullptr;
        packet_->size = 0;
        if (sent < 0 && sent != AVERROR(EAGAIN)) return kDecodeBadData;

        const int got = avcodec_receive_frame(codec_.get(), frame_.get());
        if (got == AVERROR(EAGAIN)) return kDecodeNoPicture;
        if (got < 0) return kDecodeBadData;
        const int result = writePicture(context, picture);
        av_frame_unref(frame_.get());
        return result;
    }

private:
    int writePicture(DecoderContext& context, std::span<std::uint8_t> picture) {
        const AVFrame& f = *frame_;
        if (f.format != AV_PIX_FMT_YUV420P && f.format != AV_PIX_FMT_YUVJ420P) return kDecodeBadData;
        const int w = f.width;
        const int h = f.height;
        if (w <= 0 || h <= 0 || (w % 2) != 0 || (h % 2) != 0) return kDecodeBadData;
        if (pictureBytes(context.output, w, h) > picture.size()) return kDecodeNoRoom;
        context.width = w;
        context.height = h;
        std::uint8_t* out = picture.data();
        if (context.output == DecoderOutput::PlanarYuv420) {
            copyPlane(out, f.data[0], f.linesize[0], w, h);
            copyPlane(out + w * h, f.data[1], f.linesize[1], w / 2, h / 2);
            copyPlane(out + w * h + (w / 2) * (h / 2), f.data[2], f.linesize[2], w / 2, h / 2);
            return kDecodedPicture;
        }
        const auto uh = static_cast<std::size_t>(h / 2);
        YuvPlanes planes;
        planes.y = {f.data[0], static_cast<std::size_t>(f.linesize[0]) * static_cast<std::size_t>(h)};
        planes.u = {f.data[1], static_cast<std::size_t>(f.linesize[1]) * uh};
        planes.v = {f.data[2], static_cast<std::size_t>(f.linesize[2]) * uh};
        planes.width = static_cast<std::size_t>(w);
        planes.height = static_cast<std::size_t>(h);
        planes.y_stride = static_cast<std::size_t>(f.linesize[0]);
        planes.uv_stride = static_cast<std::size_t>(f.linesize[1]);
        if (f.linesize[1] != f.linesize[2]) return kDecodeBadData;
        const bool doubling = context.rgb_line_doubling == LineDoubling::InterlacedHeights && isInterlacedHeight(h);
        if (!doubling)
            return yuv420ToRgb24(planes, picture, PixelOrder::Rgb, context.rgb_row_order) ? kDecodedPicture
                                                                                          : kDecodeBadData;
        // Half the rows are thrown away by the doubling: those are never
        // converted. The height is even, so every stored pair is whole.
        const auto rows = static_cast<std::size_t>(h);
        const std::size_t row_bytes = planes.width * 3;
        for (std::size_t stored = 0; stored < rows; stored += 2) {
            const std::size_t source = context.rgb_row_order == RowOrder::TopDown ? stored : rows - 1 - stored;
            YuvPlanes line = planes;
            line.y = planes.y.subspan(source * planes.y_stride);
            line.u = planes.u.subspan((source / 2) * planes.uv_stride);
            line.v = planes.v.subspan((source / 2) * planes.uv_stride);
            line.height = 1;
            const std::span<std::uint8_t> pair = picture.subspan(stored * row_bytes, 2 * row_bytes);
            if (!yuv420ToRgb24(line, pair.first(row_bytes), PixelOrder::Rgb, RowOrder::TopDown)) return kDecodeBadData;
            std::memcpy(pair.data() + row_bytes, pair.data(), row_bytes);
        }
        return kDecodedPicture;
    }

    std::unique_ptr<AVCodecContext, CodecContextFree> codec_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::vector<std::uint8_t> input_;
};

DecoderContext::DecoderContext() = default;
DecoderContext::~DecoderContext() = default;
DecoderContext::DecoderContext(DecoderContext&&) noexcept = default;
DecoderContext& DecoderContext::operator=(DecoderContext&&) noexcept = default;

std::size_t pictureBytes(DecoderOutput output, int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return output == DecoderOutput::Rgb24 ? pixels * 3 : pixels * 3 / 2;
}

int PT_H264dec_Init(DecoderContext& context) {
    // Damaged pictures are expected from a network; FFmpeg's complaints
    // about them are not news for the operator's terminal.
    if (!protocol::traceEnabled()) av_log_set_level(AV_LOG_FATAL);
    auto engine = std::make_unique<H264Engine>();
    if (!engine->open()) return -1;
    context.engine = std::move(engine);
    context.initialised = 1;
    return 0;
}

int PT_H264dec_GetOneFrame(DecoderContext& context, const std::uint8_t* input, int length,
                           std::span<std::uint8_t> picture) {
    if (!context.engine) return kDecodeNeedsReset;
    return context.engine->decode(context, input, length, picture);
}

void PT_H264dec_Uninit(DecoderContext& context) {
    context.engine.reset();
    context.initialised = 0;
}

}  // namespace kalix::media
