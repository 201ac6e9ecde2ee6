#include "archive/mp4_writer.h"

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace kalix::archive {
namespace {

// The track counts in 90 kHz ticks, MPEG's usual clock: 1 ms is 90 ticks.
constexpr AVRational kMicroseconds{1, 1'000'000};
constexpr AVRational kTrackClock{1, 90'000};

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

std::vector<std::span<const std::uint8_t>> splitAnnexB(std::span<const std::uint8_t> s) {
    std::vector<std::span<const std::uint8_t>> units;
    // Positions of the first byte after each start code.
    std::vector<std::size_t> starts;
    std::vector<std::size_t> code_at;
    // A start code ends in the byte 1: hop from one 1 to the next (memchr
    // is fast on a whole picture) and look at the two bytes before it.
    for (std::size_t p = 2; p < s.size();) {
        const void* hit = std::memchr(s.data() + p, 1, s.size() - p);
        if (hit == nullptr) break;
        p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - s.data());
        if (s[p - 1] == 0 && s[p - 2] == 0) {
            code_at.push_back(p > 2 && s[p - 3] == 0 ? p - 3 : p - 2);
            starts.push_back(p + 1);
        }
        ++p;
    }
    if (starts.empty()) {
        if (!s.empty()) units.push_back(s);
        return units;
    }
    for (std::size_t k = 0; k < starts.size(); ++k) {
        std::size_t end = k + 1 < starts.size() ? code_at[k + 1] : s.size();
        // Zero bytes in front of the next start code belong to no unit.
        while (end > starts[k] && s[end - 1] == 0 && k + 1 < starts.size()) --end;
        if (end > starts[k]) units.push_back(s.subspan(starts[k], end - starts[k]));
    }
    return units;
}

std::vector<std::uint8_t> annexBToLengthPrefixed(std::span<const std::uint8_t> annex_b) {
    std::vector<std::uint8_t> out;
    out.reserve(annex_b.size() + 8);
    for (const auto unit : splitAnnexB(annex_b)) {
        const auto n = static_cast<std::uint32_t>(unit.size());
        out.push_back(static_cast<std::uint8_t>(n >> 24));
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

std::vector<std::uint8_t> makeAvcC(std::span<const std::uint8_t> sps, std::span<const std::uint8_t> pps) {
    if (sps.size() < 4 || sps.size() > 0xFFFF || pps.empty() || pps.size() > 0xFFFF) return {};
    std::vector<std::uint8_t> c{1, sps[1], sps[2], sps[3], 0xFF, 0xE1};
    c.push_back(static_cast<std::uint8_t>(sps.size() >> 8));
    c.push_back(static_cast<std::uint8_t>(sps.size()));
    c.insert(c.end(), sps.begin(), sps.end());
    c.push_back(1);
    c.push_back(static_cast<std::uint8_t>(pps.size() >> 8));
    c.push_back(static_cast<std::uint8_t>(pps.size()));
    c.insert(c.end(), pps.begin(), pps.end());
    return c;
}

struct Mp4Writer::Context {
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    bool header_written = false;
    bool finished = false;

    ~Context() {
        if (!format) return;
        if (header_written && !finished) av_write_trailer(format);
        if (format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

Mp4Writer::Mp4Writer() = default;
Mp4Writer::~Mp4Writer() = default;

bool Mp4Writer::fail(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    error_ = std::string(what) + ": " + text;
    return false;
}

bool Mp4Writer::open(const std::filesystem::path& path, unsigned width, unsigned height,
                     std::span<const std::uint8_t> avcc) {
    context_ = std::make_unique<Context>();
    pending_.reset();
    int rc = avformat_alloc_output_context2(&context_->format, nullptr, "mp4", path.c_str());
    if (rc < 0 || !context_->format) return fail("mp4 muxer", rc);
    context_->stream = avformat_new_stream(context_->format, nullptr);
    if (!context_->stream) return fail("new stream", AVERROR(ENOMEM));
    AVCodecParameters* par = context_->stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_H264;
    par->codec_tag = 0;
    par->width = static_cast<int>(width);
    par->height = static_cast<int>(height);
    par->format = 0;  // yuv420p
    par->extradata = static_cast<std::uint8_t*>(av_mallocz(avcc.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata) return fail("extradata", AVERROR(ENOMEM));
    std::memcpy(par->extradata, avcc.data(), avcc.size());
    par->extradata_size = static_cast<int>(avcc.size());
    context_->stream->time_base = kTrackClock;
    rc = avio_open(&context_->format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) return fail("open", rc);
    rc = avformat_write_header(context_->format, nullptr);
    if (rc < 0) return fail("header", rc);
    context_->header_written = true;
    return true;
}

bool Mp4Writer::writePending(std::int64_t duration_us) {
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet) return fail("packet", AVERROR(ENOMEM));
    int rc = av_new_packet(packet.get(), static_cast<int>(pending_->data.size()));
    if (rc < 0) return fail("packet", rc);
    std::memcpy(packet->data, pending_->data.data(), pending_->data.size());
    const AVRational tb = context_->stream->time_base;
    packet->pts = av_rescale_q(pending_->pts_us, kMicroseconds, tb);
    packet->dts = packet->pts;
    packet->duration = av_rescale_q(pending_->pts_us + duration_us, kMicroseconds, tb) - packet->pts;
    packet->stream_index = context_->stream->index;
    if (pending_->key) packet->flags |= AV_PKT_FLAG_KEY;
    rc = av_write_frame(context_->format, packet.get());
    pending_.reset();
    if (rc < 0) return fail("write", rc);
    return true;
}

bool Mp4Writer::addFrame(std::span<const std::uint8_t> annex_b, bool key, std::int64_t pts_us) {
    if (!context_ || !context_->header_written) return false;
    if (pending_) {
        const std::int64_t step = pts_us - pending_->pts_us;
        if (step <= 0) {
            error_ = "picture times do not rise";
            return false;
        }
        last_step_us_ = step;
        if (!writePending(step)) return false;
    }
    pending_ = Pending{annexBToLengthPrefixed(annex_b), key, pts_us};
    return true;
}

bool Mp4Writer::finish() {
    if (!context_ || !context_->header_written) return false;
    if (pending_ && !writePending(last_step_us_)) return false;
    const int rc = av_write_trailer(context_->format);
    context_->finished = true;
    if (rc < 0) return fail("trailer", rc);
    const int closed = avio_closep(&context_->format->pb);
    if (closed < 0) return fail("close", closed);
    return true;
}

}  // namespace kalix::archive
