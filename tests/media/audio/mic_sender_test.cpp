#include "media/audio/mic_sender.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "protocol/byte_order.h"

namespace kalix::media {
namespace {

using protocol::Connection;
using protocol::MessageHeader;
using protocol::UniqueFd;

std::vector<std::uint8_t> chunkOf(std::uint8_t tag) { return std::vector<std::uint8_t>(3, tag); }

// Capture buffers that differ from one another: a rising saw per buffer.
std::vector<std::uint8_t> captureBuffer(int seed) {
    std::vector<std::uint8_t> buffer(kCaptureBufferBytes);
    for (std::size_t i = 0; i < buffer.size() / 2; ++i) {
        const auto v = static_cast<std::uint16_t>(static_cast<int>(i * 37) + seed * 1000 - 16000);
        buffer[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return buffer;
}

// What the recorder should receive for these buffers: one encoder through
// all of them, 1,536 bytes each.
std::vector<std::vector<std::uint8_t>> expectedChunks(const std::vector<std::uint8_t>& pcm) {
    G726Encoder encoder;
    std::vector<std::vector<std::uint8_t>> chunks;
    for (std::size_t at = 0; at + kCaptureBufferBytes <= pcm.size(); at += kCaptureBufferBytes) {
        std::vector<std::int16_t> values(kCaptureBufferBytes / 2);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<std::int16_t>(
                static_cast<std::uint16_t>(pcm[at + 2 * i] | pcm[at + 2 * i + 1] << 8));
        std::vector<std::uint8_t> chunk(kTalkChunkBytes);
        EXPECT_TRUE(encoder.encode(values, chunk).ok());
        chunks.push_back(chunk);
    }
    return chunks;
}

// A capture source the test drives by hand.
class ManualSoundIn final : public SoundIn {
public:
    explicit ManualSoundIn(bool* started = nullptr, bool fail = false) : started_(started), fail_(fail) {}
    bool start(CaptureSink& sink) override {
        if (fail_) return false;
        sink_ = &sink;
        if (started_) *started_ = true;
        return true;
    }
    void stop() override { sink_ = nullptr; }
    void deliver(std::span<const std::uint8_t> buffer) { sink_->captured(buffer); }

private:
    bool* started_;
    bool fail_;
    CaptureSink* sink_ = nullptr;
};

// The recorder's end of a socket pair.
struct Link {
    Link() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        connection = std::make_unique<Connection>(UniqueFd(fds[0]));
        peer = UniqueFd(fds[1]);
        timeval tv{10, 0};
        ::setsockopt(peer.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    bool readAll(std::uint8_t* p, std::size_t n) {
        while (n > 0) {
            const auto got = ::recv(peer.get(), p, n, 0);
            if (got <= 0) return false;
            p += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }
    // One message: its header and payload.
    std::optional<std::pair<MessageHeader, std::vector<std::uint8_t>>> receive() {
        std::array<std::uint8_t, protocol::kHeaderSize> head{};
        if (!readAll(head.data(), head.size())) return std::nullopt;
        const auto header = MessageHeader::decode(head.data());
        std::vector<std::uint8_t> payload(header.payloadLen());
        if (!readAll(payload.data(), payload.size())) return std::nullopt;
        return std::pair{header, payload};
    }
    std::unique_ptr<Connection> connection;
    UniqueFd peer;
};

TEST(SendList, KeepsTheNewestTwoHundredChunksInOrder) {
    SendList list;
    for (int i = 0; i < 205; ++i) list.push(chunkOf(static_cast<std::uint8_t>(i)));
    EXPECT_EQ(list.size(), kSendListLimit);
    EXPECT_EQ(list.dropped(), 5u);
    std::stop_source stop;
    for (int i = 5; i < 205; ++i) EXPECT_EQ(list.pop(stop.get_token()), chunkOf(static_cast<std::uint8_t>(i)));
    EXPECT_EQ(list.size(), 0u);
    list.push(chunkOf(1));
    stop.request_stop();
    EXPECT_EQ(list.pop(stop.get_token()), std::nullopt);  // stopped: nothing more
}

TEST(SendList, PopWaitsForAPushAndEndsOnStop) {
    SendList list;
    std::stop_source stop;
    std::optional<std::vector<std::uint8_t>> got;
    std::jthread waiter([&] { got = list.pop(stop.get_token()); });
    list.push(chunkOf(7));
    waiter.join();
    EXPECT_EQ(got, chunkOf(7));
    std::jthread stopped([&] { got = list.pop(stop.get_token()); });
    stop.request_stop();
    stopped.join();
    EXPECT_EQ(got, std::nullopt);
}

TEST(MicSender, SendsEachBufferAsOneListenDataMessageAtMostTenASecond) {
    Link link;
    auto owned = std::make_unique<ManualSoundIn>();
    ManualSoundIn& capture = *owned;
    MicSender sender(*link.connection, std::move(owned));
    ASSERT_TRUE(sender.capturing());

    std::vector<std::uint8_t> pcm;
    constexpr int kBuffers = 8;
    const auto delivered = std::chrono::steady_clock::now();
    for (int i = 0; i < kBuffers; ++i) {
        const auto buffer = captureBuffer(i);
        pcm.insert(pcm.end(), buffer.begin(), buffer.end());
        capture.deliver(buffer);
    }
    const auto expected = expectedChunks(pcm);
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    for (int i = 0; i < kBuffers; ++i) {
        const auto message = link.receive();
        ASSERT_TRUE(message) << "message " << i;
        arrivals.push_back(std::chrono::steady_clock::now());
        EXPECT_EQ(message->first.code(), static_cast<std::uint16_t>(protocol::Code::A_LISTEN_DATA));
        EXPECT_TRUE(message->first.lastFragment());
        EXPECT_EQ(message->first.payloadLen(), kTalkChunkBytes);
        EXPECT_EQ(message->second, expected[static_cast<std::size_t>(i)]) << "chunk " << i;
    }
    // Seven rests of 100 ms lie between the first and the last message, so
    // the last cannot arrive sooner than 700 ms after the buffers were
    // handed over, however late the reader runs (unpaced, all eight would
    // arrive within a few milliseconds).
    EXPECT_GE(arrivals.back() - delivered, std::chrono::milliseconds(690));
    // The sender counts a chunk once its send returned, which may be just
    // after the reader has it.
    for (int i = 0; i < 200 && sender.chunksSent() < kBuffers; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(sender.chunksSent(), static_cast<std::uint64_t>(kBuffers));
}

TEST(MicSender, DropsTheOldestChunksBeyondTwoHundredAndBuffersOfTheWrongSize) {
    Link link;
    auto owned = std::make_unique<ManualSoundIn>();
    ManualSoundIn& capture = *owned;
    MicSender sender(*link.connection, std::move(owned));
    const auto buffer = captureBuffer(1);
    capture.deliver(std::span(buffer).first(kCaptureBufferBytes - 1));
    capture.deliver({});
    for (int i = 0; i < 230; ++i) capture.deliver(buffer);
    EXPECT_LE(sender.pendingChunks(), kSendListLimit);
    sender.stop();
    EXPECT_FALSE(sender.capturing());
    // Every whole buffer became one chunk: sent, dropped, or still listed.
    EXPECT_EQ(sender.pendingChunks() + sender.droppedChunks() + sender.chunksSent(), 230u);
    EXPECT_GE(sender.droppedChunks() + sender.chunksSent(), 30u);
}

TEST(MicSender, CaptureThatCannotStartSendsNothing) {
    Link link;
    MicSender sender(*link.connection, std::make_unique<ManualSoundIn>(nullptr, true));
    EXPECT_FALSE(sender.capturing());
    MicSender none(*link.connection, nullptr);
    EXPECT_FALSE(none.capturing());
}

// Both capture sources end to end: SDL's disk driver reading a file, and
// the file source of scripts; the recorder receives the file's encoding.
class CaptureSources : public ::testing::TestWithParam<bool> {};

TEST_P(CaptureSources, RecorderReceivesTheEncodedFile) {
    const bool use_sdl = GetParam();
    const auto file = std::filesystem::temp_directory_path() /
                      ("kalix_capture_" + std::to_string(::getpid()) + ".raw");
    std::vector<std::uint8_t> pcm;
    constexpr int kBuffers = 3;
    for (int i = 0; i < kBuffers; ++i) {
        const auto buffer = captureBuffer(i + 3);
        pcm.insert(pcm.end(), buffer.begin(), buffer.end());
    }
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));

    std::unique_ptr<SoundIn> capture;
    if (use_sdl) {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILEIN", file.c_str(), 1);
        ::setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        capture = makeSdlSoundIn();
    } else {
        capture = makeFileSoundIn(file, CapturePacing::RealTime);
    }
    Link link;
    MicSender sender(*link.connection, std::move(capture));
    ASSERT_TRUE(sender.capturing());
    const auto expected = expectedChunks(pcm);
    for (int i = 0; i < kBuffers; ++i) {
        const auto message = link.receive();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->first.payloadLen(), kTalkChunkBytes);
        EXPECT_EQ(message->second, expected[static_cast<std::size_t>(i)]) << "chunk " << i;
    }
    sender.stop();
    std::filesystem::remove(file);
}

INSTANTIATE_TEST_SUITE_P(SdlAndFile, CaptureSources, ::testing::Values(true, false),
                         [](const auto& param_info) { return param_info.param ? "SdlDisk" : "File"; });

TEST(FileSoundIn, PadsTheLastBufferWithSilenceAndHonoursOffsetAndLength) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("kalix_file_in_" + std::to_string(::getpid()) + ".raw");
    std::vector<std::uint8_t> bytes(44 + kCaptureBufferBytes + 100, 0x11);
    std::fill(bytes.begin(), bytes.begin() + 44, std::uint8_t{0x99});
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    struct Collect final : CaptureSink {
        void captured(std::span<const std::uint8_t> b) override {
            std::lock_guard lock(mutex);
            buffers.emplace_back(b.begin(), b.end());
        }
        std::mutex mutex;
        std::vector<std::vector<std::uint8_t>> buffers;
    } sink;
    auto source = makeFileSoundIn(file, CapturePacing::Immediate, 44, kCaptureBufferBytes + 60);
    ASSERT_TRUE(source->start(sink));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(sink.mutex);
            if (sink.buffers.size() >= 2) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    source->stop();
    ASSERT_EQ(sink.buffers.size(), 2u);
    EXPECT_EQ(sink.buffers[0], std::vector<std::uint8_t>(kCaptureBufferBytes, 0x11));
    std::vector<std::uint8_t> last(kCaptureBufferBytes, 0);
    std::fill(last.begin(), last.begin() + 60, std::uint8_t{0x11});
    EXPECT_EQ(sink.buffers[1], last);

    EXPECT_FALSE(makeFileSoundIn(file.string() + ".missing", CapturePacing::Immediate)->start(sink));
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kalix::media
