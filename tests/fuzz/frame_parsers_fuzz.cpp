// Feeds arbitrary bytes to the frame parsers and to both unit completions,
// as the session would hand over a completed unit. The first byte picks the
// context (recorder kind, speed, flow, freeze, selected audio channel); the
// rest is the unit. Whatever is routed must stay inside the unit's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "media/frame_formats.h"
#include "media/video/stream_header_writer.h"
#include "media/unit_router.h"
#include "media/video/yuv_to_rgb.h"

namespace {

using namespace kalix;
using namespace kalix::media;

void check(bool condition) {
    if (!condition) std::abort();
}

void checkItem(const FrameItem& item, std::size_t unit_size) {
    check(item.data.size() == item.info.available_len);
    check(item.decode_len <= item.data.size());
    check(item.data.size() <= unit_size);
    check(item.codedData().size() == item.decode_len);
}

void checkAudio(const AudioRoute& audio, std::size_t unit_size, int selected) {
    check(kAudioFrameHeaderSize + audio.blocks.count() * kAudioBlockSize <= unit_size);
    if (auto pick = audio.blocks.pick(selected)) check(pick->channel >= 0 && pick->channel < kChannelCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t knobs = data[0];
    const std::span<const std::uint8_t> unit(data + 1, size - 1);
    const int selected = (knobs & 0x0F) == 0x0F ? -1 : (knobs & 0x0F);

    (void)parseVideoFrameHeader(unit);
    (void)parseEncVideoHeader(unit);
    (void)parseAudioFrameHeader(unit);

    const auto last = protocol::MessageHeader::make(protocol::Code::LIVE_DATA, 0, protocol::Fragment::Last);
    const LiveContext live{.epoch = knobs, .freeze = (knobs & 0x10) ? Freeze::On : Freeze::Off};
    const auto live_route = completeLiveUnit(unit, last, live);
    if (const auto* v = std::get_if<VideoRoute>(&live_route)) {
        checkItem(v->item, unit.size());
        check(v->item.header.frameChannel() == v->item.info.channel);
        StreamHeaderWriter writer;
        const auto header = writer.writeParameterSets(v->item.info.width, v->item.info.height);
        check(!writer.overflowed() && header.size() <= StreamHeaderWriter::kCapacity);
    } else if (const auto* a = std::get_if<AudioRoute>(&live_route)) {
        checkAudio(*a, unit.size(), selected);
    }

    const PlaybackContext playback{
        .type_order = (knobs & 0x20) ? TypeWordOrder::LowByteFirst : TypeWordOrder::BigEndian,
        .speed = (knobs & 0x40) ? PlaySpeed::Other : PlaySpeed::NormalForward,
        .flow = (knobs & 0x80) ? PlayFlow::PausedOrSeeking : PlayFlow::Streaming,
        .epoch = 1,
        .direction = Direction::Forward,
    };
    const auto play_route = completePlaybackUnit(unit, last, playback);
    if (const auto* v = std::get_if<PlaybackVideoRoute>(&play_route)) {
        check(v->info.coded_len <= v->info.available_len);
        if (v->item) checkItem(*v->item, unit.size());
    } else if (const auto* a = std::get_if<AudioRoute>(&play_route)) {
        checkAudio(*a, unit.size(), selected);
    }

    // The unit read as a small planar picture, sizes from its first bytes.
    if (unit.size() >= 2) {
        const std::size_t w = unit[0] % 17;
        const std::size_t h = unit[1] % 17;
        std::array<std::uint8_t, 16 * 16 * 3> out{};
        const bool fits = YuvPlanes::packedSize(w, h) <= unit.size() - 2 && w * h * 3 <= out.size();
        check(yuv420ToRgb24(YuvPlanes::packed(unit.subspan(2), w, h), out, PixelOrder::Bgr, RowOrder::BottomUp) ==
              fits);
    }
    return 0;
}
