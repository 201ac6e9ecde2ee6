// Header coding and the receive path over a local socket pair: what one
// message costs the receive thread.
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

#include "protocol/message_header.h"
#include "protocol/transport.h"

namespace {

using namespace kalix::protocol;

void BM_HeaderRoundTrip(benchmark::State& state) {
    auto h = MessageHeader::make(Code::LIVE_DATA, 65535, Fragment::Last);
    for (auto _ : state) {
        const auto bytes = h.encode();
        benchmark::DoNotOptimize(h = MessageHeader::decode(bytes.data()));
    }
}
BENCHMARK(BM_HeaderRoundTrip);

// Full-size fragments sent by one thread and received header + payload by
// another, as the receive thread reads LIVE_DATA into its reassembly buffer.
void BM_FragmentThroughput(benchmark::State& state) {
    const auto len = static_cast<std::uint16_t>(state.range(0));
    int fds[2];
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    Connection tx{UniqueFd(fds[0])};
    Connection rx{UniqueFd(fds[1])};
    const std::vector<std::uint8_t> payload(len, 0x5A);
    std::vector<std::uint8_t> buffer(len);
    std::array<std::uint8_t, kHeaderSize> head{};
    constexpr int kBatch = 64;
    for (auto _ : state) {
        std::jthread sender([&] {
            for (int i = 0; i < kBatch; ++i)
                SendPacket(tx, MessageHeader::make(Code::LIVE_DATA, len, Fragment::Last), payload);
        });
        for (int i = 0; i < kBatch; ++i) {
            LoopReceive(rx, head);
            const auto h = MessageHeader::decode(head.data());
            LoopReceive(rx, std::span(buffer).first(h.payloadLen()));
        }
    }
    state.SetBytesProcessed(state.iterations() * kBatch * (len + 16));
}
BENCHMARK(BM_FragmentThroughput)->Arg(1024)->Arg(65535)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
