// The per-frame work of the frame layer: turning a 704×576 picture into
// 24-bit pixels (the RGB drawing path, picture export), and routing completed
// live units (a typical 704×576 picture of 30 KiB, an audio unit of four
// channels) into what the queues take.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "media/video/stream_header_writer.h"
#include "media/unit_router.h"
#include "media/video/yuv_to_rgb.h"
#include "protocol/byte_order.h"

namespace {

using namespace kalix;
using namespace kalix::media;

constexpr std::size_t kWidth = 704;
constexpr std::size_t kHeight = 576;

std::vector<std::uint8_t> gradientPicture() {
    std::vector<std::uint8_t> picture(YuvPlanes::packedSize(kWidth, kHeight));
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
    return picture;
}

void BM_Yuv420ToRgb24_704x576(benchmark::State& state) {
    const auto picture = gradientPicture();
    std::vector<std::uint8_t> out(kWidth * kHeight * 3);
    const YuvPlanes planes = YuvPlanes::packed(picture, kWidth, kHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(yuv420ToRgb24(planes, out, PixelOrder::Rgb, RowOrder::BottomUp));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_Yuv420ToRgb24_704x576);

std::vector<std::uint8_t> liveVideoUnit(std::size_t coded_len) {
    std::array<std::uint8_t, kLiveDataOffset> head{};
    protocol::putBe32(head.data() + 16, kTypeVideo);
    std::uint8_t* enc = head.data() + kLiveEncHeaderOffset;
    protocol::putLe16(enc, static_cast<std::uint16_t>(coded_len));
    enc[2] = static_cast<std::uint8_t>((coded_len >> 16) & 0x0F);
    enc[4] = 36;
    enc[5] = 44;
    enc[36] = 3;
    std::vector<std::uint8_t> unit(head.begin(), head.end());
    unit.resize(kLiveDataOffset + coded_len, 0x5C);
    return unit;
}

void BM_CompleteLiveVideoUnit_30KiB(benchmark::State& state) {
    const auto unit = liveVideoUnit(30 * 1024);
    const auto last = protocol::MessageHeader::make(protocol::Code::LIVE_DATA, 0, protocol::Fragment::Last);
    for (auto _ : state) {
        auto route = completeLiveUnit(unit, last, {.epoch = 1, .freeze = Freeze::Off});
        benchmark::DoNotOptimize(route);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(unit.size()));
}
BENCHMARK(BM_CompleteLiveVideoUnit_30KiB);

void BM_CompleteLiveAudioUnit_FourChannels(benchmark::State& state) {
    std::array<std::uint8_t, kAudioFrameHeaderSize> head{};
    protocol::putBe32(head.data() + 16, kTypeAudio);
    protocol::putBe32(head.data() + 40, 0x000F);
    std::vector<std::uint8_t> unit(head.begin(), head.end());
    unit.resize(kAudioFrameHeaderSize + 4 * kAudioBlockSize, 0x11);
    const auto last = protocol::MessageHeader::make(protocol::Code::LIVE_DATA, 0, protocol::Fragment::Last);
    for (auto _ : state) {
        auto route = completeLiveUnit(unit, last, {});
        auto pick = std::get<AudioRoute>(route).blocks.pick(2);
        benchmark::DoNotOptimize(pick);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompleteLiveAudioUnit_FourChannels);

void BM_ParameterSets_704x576(benchmark::State& state) {
    StreamHeaderWriter writer;
    for (auto _ : state) {
        auto bytes = writer.writeParameterSets(704, 576);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParameterSets_704x576);

}  // namespace

BENCHMARK_MAIN();
