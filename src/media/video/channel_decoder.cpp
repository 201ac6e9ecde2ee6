#include "media/video/channel_decoder.h"

#include <algorithm>
#include <cstring>

#include "media/video/stream_header_writer.h"
#include "protocol/trace.h"

namespace kalix::media {
namespace {

constexpr int kCallAgainLimit = 4;  // a library that keeps asking is not believed forever
// Two groups of backward play per channel, at most.
constexpr std::size_t kHeldLimit = 120;

// Copies the first row of every pair over the second.
void doubleLines(std::uint8_t* plane, std::size_t row_bytes, std::size_t rows) {
    for (std::size_t pair = 0; 2 * pair + 1 < rows; ++pair)
        std::memcpy(plane + (2 * pair + 1) * row_bytes, plane + 2 * pair * row_bytes, row_bytes);
}

}  // namespace

ChannelDecoder::ChannelDecoder(int channel, VideoWall& wall, DecoderHost& host)
    : channel_(channel), wall_(wall), host_(host) {
    running_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

ChannelDecoder::~ChannelDecoder() { stop(); }

void ChannelDecoder::stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    queue_.clear();
}

void ChannelDecoder::run(std::stop_token stop) {
    context_.output = wall_.pictures().drawPath() == DrawPath::Rgb ? DecoderOutput::Rgb24 : DecoderOutput::PlanarYuv420;
    context_.rgb_row_order = RowOrder::BottomUp;
    PT_H264dec_Uninit(context_);
    if (PT_H264dec_Init(context_) != 0) host_.decoderInitFailed(channel_);
    discard_ = false;
    input_.assign(kDecoderInputBytes, 0);
    char_width_ = wall_.painter().captionCharWidth();
    mode_ = wall_.displayMode();
    wall_.view().clearSingleView();
    wall_.pictures().setChromaOrder(3);

    std::int64_t epoch = 0;
    PictureSize size{352, 240};
    bool primed = false;
    bool waiting_for_key = true;
    StreamHeaderWriter header_writer;

    while (auto taken = queue_.pop(stop)) {
        FrameItem& item = taken->item;
        if (discard_) continue;
        if (item.hold == HoldRole::Show) {
            showHeld(item);
            continue;
        }
        // Held pictures belong to the backward play that queued them.
        if (item.hold == HoldRole::None && !held_.empty()) held_.clear();

        if (mode_ == DisplayMode::Live && !host_.liveFrameWanted(channel_)) {
            primed = false;
            ++dropped_;
            continue;
        }
        wall_.pictures().setPaneTime(channel_, host_.paneTime(channel_, item));

        // Run check: a new epoch or a new size starts a new run.
        const PictureSize item_size{item.info.width, item.info.height};
        int input_length = 0;
        if (static_cast<std::int64_t>(item.epoch) != epoch) {
            epoch = item.epoch;
            size = item_size;
            primed = false;
        } else if (item_size != size) {
            epoch = -1;
            size = item_size;
            primed = false;
        } else if (primed) {
            if (item.decode_len > input_.size()) {
                ++dropped_;
                continue;
            }
            if (item.decode_len != 0) std::memcpy(input_.data(), item.data.data(), item.decode_len);
            input_length = static_cast<int>(item.decode_len);
        }

        if (!primed) {
            if (item.info.kind != FrameKind::Key) {
                waiting_for_key = true;
                ++dropped_;
                continue;
            }
            waiting_for_key = false;
            const auto header = header_writer.writeParameterSets(static_cast<unsigned>(size.width),
                                                                 static_cast<unsigned>(size.height));
            // A picture that would not fit the input buffer is dropped, as is
            // a size our parameter sets cannot describe.
            if (header.empty() || header.size() + item.decode_len > input_.size()) {
                ++dropped_;
                continue;
            }
            std::memcpy(input_.data(), header.data(), header.size());
            // A key frame may carry no coded bytes, and then no data at all.
            if (item.decode_len != 0)
                std::memcpy(input_.data() + header.size(), item.data.data(), item.decode_len);
            input_length = static_cast<int>(header.size() + item.decode_len);
            auto access = wall_.pictures().lockChannel(channel_);
            if (!access || !access->setSize(size)) {
                ++dropped_;
                continue;
            }
            primed = true;
            context_.output =
                wall_.pictures().drawPath() == DrawPath::Rgb ? DecoderOutput::Rgb24 : DecoderOutput::PlanarYuv420;
            access->clear();
        }

        if (isBacklogged(taken->queued_before)) waiting_for_key = true;
        bool decodable = false;
        switch (item.info.kind) {
        case FrameKind::Key:
            waiting_for_key = false;
            decodable = true;
            break;
        case FrameKind::Predicted:
        case FrameKind::Predicted2: decodable = !waiting_for_key; break;
        case FrameKind::NeverDecoded: decodable = false; break;
        }
        if (!decodable) {
            ++dropped_;
            continue;
        }

        if (item.hold == HoldRole::Hold) {
            holdPicture(input_length, size, item);
            continue;
        }
        if (!decode(input_length, size, item)) continue;
        if (item.direction == Direction::Backward && item.decode_only == 1) continue;
        showCaptions(item, size);
        wall_.view().markChannel(channel_);
        ++shown_;
    }

    if (context_.initialised != 0) PT_H264dec_Uninit(context_);
    wall_.pictures().setAudioIcon(channel_, AudioIcon::None);
    input_.clear();
    input_.shrink_to_fit();
    running_ = false;
}

bool ChannelDecoder::decode(int input_length, PictureSize size, const FrameItem& item) {
    // The picture buffer is written under the channel's lock, so a pane is
    // never painted half old, half new.
    auto access = wall_.pictures().lockChannel(channel_);
    if (!access) return false;
    if (runLibrary(input_length, access->picture()) < 0) return false;
    // The stream may say otherwise than the recorder's header did.
    const PictureSize decoded{context_.width, context_.height};
    if (decoded != size && !access->setSize(decoded)) return false;
    const DrawPath path =
        context_.output == DecoderOutput::Rgb24 ? DrawPath::Rgb : DrawPath::Yuv;
    if (path == DrawPath::Yuv)
        host_.pictureDecoded(DecodedPicture{
            channel_, decoded_, decoded,
            access->picture().first(pictureBytes(DecoderOutput::PlanarYuv420, decoded.width, decoded.height)),
            &item.info, !(item.direction == Direction::Backward && item.decode_only == 1), mode_});
    ++decoded_;
    postProcess(access->picture(), decoded, path);
    return true;
}

// The library's result for one picture, or −1 (counted as dropped).
int ChannelDecoder::runLibrary(int input_length, std::span<std::uint8_t> picture) {
    if (context_.output == DecoderOutput::Rgb24)
        context_.rgb_line_doubling = host_.lineDoubling(channel_) ? LineDoubling::InterlacedHeights : LineDoubling::Off;
    int result = PT_H264dec_GetOneFrame(context_, input_.data(), input_length, picture);
    for (int again = 0; result == kDecodeCallAgain && again < kCallAgainLimit; ++again)
        result = PT_H264dec_GetOneFrame(context_, input_.data(), input_length, picture);
    if (result == kDecodeNeedsReset) {
        PT_H264dec_Uninit(context_);
        PT_H264dec_Init(context_);
        result = PT_H264dec_GetOneFrame(context_, input_.data(), input_length, picture);
    }
    if (result != kDecodedPicture && result != kDecodedPictureToo) {
        protocol::trace("[decoder/ch%d] decode result %d\n", channel_ + 1, result);
        ++dropped_;
        return -1;
    }
    return result;
}

void ChannelDecoder::holdPicture(int input_length, PictureSize size, const FrameItem& item) {
    // Beyond the limit the picture latest to be shown (the earliest in the
    // stream) makes room.
    if (held_.size() >= kHeldLimit) held_.erase(std::prev(held_.end()));
    Held held;
    held.output = context_.output;
    held.bytes.resize(pictureBytes(context_.output, size.width, size.height));
    if (runLibrary(input_length, held.bytes) < 0) return;
    held.size = PictureSize{context_.width, context_.height};
    if (held.size != size) {
        ++dropped_;
        return;
    }
    ++decoded_;
    held_.insert_or_assign(item.hold_id, std::move(held));
}

void ChannelDecoder::showHeld(const FrameItem& item) {
    const auto found = held_.find(item.hold_id);
    if (found == held_.end()) {
        ++dropped_;
        return;
    }
    const Held held = std::move(found->second);
    held_.erase(found);
    const DrawPath path = held.output == DecoderOutput::Rgb24 ? DrawPath::Rgb : DrawPath::Yuv;
    wall_.pictures().setPaneTime(channel_, host_.paneTime(channel_, item));
    {
        auto access = wall_.pictures().lockChannel(channel_);
        if (!access || wall_.pictures().drawPath() != path || !access->setSize(held.size) ||
            held.bytes.size() > access->picture().size()) {
            ++dropped_;
            return;
        }
        const auto picture = access->picture().first(held.bytes.size());
        std::copy(held.bytes.begin(), held.bytes.end(), picture.begin());
        if (path == DrawPath::Yuv)
            host_.pictureDecoded(DecodedPicture{channel_, decoded_, held.size, picture, &item.info, true, mode_});
        postProcess(picture, held.size, path);
    }
    showCaptions(item, held.size);
    wall_.view().markChannel(channel_);
    ++shown_;
}

void ChannelDecoder::postProcess(std::span<std::uint8_t> picture, PictureSize size, DrawPath path) {
    // The library wrote RGB pictures bottom up and doubled, as the RGB
    // painter takes them.
    if (path == DrawPath::Rgb) return;
    if (!isInterlacedHeight(size.height) || !host_.lineDoubling(channel_)) return;
    const auto w = static_cast<std::size_t>(size.width);
    const auto h = static_cast<std::size_t>(size.height);
    doubleLines(picture.data(), w, h);
    doubleLines(picture.data() + w * h, w / 2, h / 2);
    doubleLines(picture.data() + w * h * 5 / 4, w / 2, h / 2);
}

void ChannelDecoder::showCaptions(const FrameItem& item, PictureSize size) {
    bool rebuild = false;
    if (const auto pane = wall_.view().paneSizeOfChannel(channel_); pane && pane->width != pane_width_) {
        pane_width_ = pane->width;
        rebuild = true;
    }
    const std::string title = mode_ == DisplayMode::Live ? host_.liveTitle(channel_) : titleText(item.info.title);
    if (title != last_title_ || rebuild) {
        last_title_ = title;
        fitted_title_ = fitTitle(title, pane_width_, [this](std::string_view t) { return host_.textWidth(t); });
    }
    CaptionFacts facts;
    facts.mode = mode_;
    facts.caption_style = wall_.painter().captionStyle();
    facts.title = fitted_title_;
    facts.picture_width = size.width;
    facts.picture_height = size.height;
    facts.frame_rate = wall_.pictures().frameRate(channel_);
    facts.char_width = char_width_;
    ChannelCaptions captions = buildCaptions(facts);
    wall_.pictures().countFrame(channel_);
    const std::size_t line2_length = captions.line2.text.size();
    wall_.pictures().storeCaptions(channel_, captions);
    if (const auto icon = host_.audioIcon(channel_)) {
        wall_.pictures().setAudioIcon(channel_, *icon);
        wall_.pictures().setAudioIconX(audioIconX(char_width_, line2_length));
    }
}

}  // namespace kalix::media
