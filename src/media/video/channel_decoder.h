#pragma once
// One channel's decoder: a thread that takes coded pictures from the
// channel's frame queue, puts our own parameter sets in front of the first
// key frame of every run, decodes into the wall's picture buffer of the
// channel, post-processes there (row order, line doubling), writes the pane
// captions and asks the wall to redraw the pane.
//
// A run is a stretch of one stream epoch at one picture size. Predicted
// pictures before the run's first key frame cannot be decoded and are
// dropped; so are predicted pictures while more than 98 wait (the decoder
// skips to the next key frame to catch up).

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "media/frame_queue.h"
#include "media/video/h264_decoder_library.h"
#include "media/video/pane_captions.h"
#include "media/video/video_wall.h"

namespace kalix::media {

struct DecodedPicture {
    int channel = 0;
    std::uint64_t index = 0;  // the channel's pictures, counted from 0
    PictureSize size;
    std::span<const std::uint8_t> yuv;
    const FrameInfo* info = nullptr;  // what the recorder said of it
    // False for a decode-only picture of backward play: decoded as a
    // reference, never shown.
    bool shown = true;
    DisplayMode mode = DisplayMode::Live;  // the wall's mode when the decoder started
};

// What a decoder asks of its owner. Called on the decoder's thread; an
// implementation must not stop or destroy the decoder from inside.
class DecoderHost {
public:
    virtual ~DecoderHost() = default;
    // Live view: false while the channel is in video loss, or covert for
    // this user. Such pictures are dropped and the run starts again.
    virtual bool liveFrameWanted(int channel) = 0;
    // The title of a live channel (the recorder's channel names).
    virtual std::string liveTitle(int channel) = 0;
    // The time shown for this picture: live, word 3 of its header; playback,
    // the player's or session's current time.
    virtual std::int64_t paneTime(int channel, const FrameItem& item) = 0;
    // True when 480- and 576-line pictures of the channel are line-doubled.
    virtual bool lineDoubling(int channel) = 0;
    // The audio icon for the channel, or nothing to leave it as it is.
    virtual std::optional<AudioIcon> audioIcon(int channel) = 0;
    virtual int textWidth(std::string_view text) = 0;
    // The decoder library refused to start ("H.264 Decoder Init Error !").
    virtual void decoderInitFailed(int channel) = 0;
    // A decoded picture, planar YUV 4:2:0, before any post-processing. Only
    // on the YUV path.
    virtual void pictureDecoded(const DecodedPicture& picture) { (void)picture; }
};

inline constexpr std::size_t kDecoderInputBytes = 1'244'160;

class ChannelDecoder {
public:
    ChannelDecoder(int channel, VideoWall& wall, DecoderHost& host);
    ~ChannelDecoder();  // stops and joins
    ChannelDecoder(const ChannelDecoder&) = delete;
    ChannelDecoder& operator=(const ChannelDecoder&) = delete;

    int channel() const { return channel_; }
    FrameQueue& queue() { return queue_; }
    // While set, every picture taken is dropped undecoded.
    void setDiscard(bool discard) { discard_ = discard; }
    // Requests the stop and waits for the thread; queued pictures are freed.
    void stop();
    bool running() const { return running_.load(); }
    std::uint64_t picturesShown() const { return shown_.load(); }
    std::uint64_t picturesDropped() const { return dropped_.load(); }

private:
    void run(std::stop_token stop);
    bool decode(int input_length, PictureSize size, const FrameItem& item);
    int runLibrary(int input_length, std::span<std::uint8_t> picture);
    void holdPicture(int input_length, PictureSize size, const FrameItem& item);
    void showHeld(const FrameItem& item);
    void postProcess(std::span<std::uint8_t> picture, PictureSize size, DrawPath path);
    void showCaptions(const FrameItem& item, PictureSize size);

    const int channel_;
    VideoWall& wall_;
    DecoderHost& host_;
    FrameQueue queue_;
    std::atomic<bool> discard_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> shown_{0};
    std::atomic<std::uint64_t> dropped_{0};

    // -- decoder thread only --
    DecoderContext context_;
    std::vector<std::uint8_t> input_;
    std::uint64_t decoded_ = 0;
    DisplayMode mode_ = DisplayMode::Live;
    std::string last_title_;
    std::string fitted_title_;
    int pane_width_ = 0;
    int char_width_ = 10;
    // Pictures of a backward group, decoded and waiting to be shown.
    struct Held {
        PictureSize size;
        DecoderOutput output = DecoderOutput::PlanarYuv420;
        std::vector<std::uint8_t> bytes;
    };
    std::map<std::uint64_t, Held> held_;

    std::jthread thread_;  // last: starts after everything above exists
};

}  // namespace kalix::media
