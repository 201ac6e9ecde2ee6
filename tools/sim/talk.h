#pragma once
// Talk from the recorder's side: A_LISTEN_REQ is accepted with A_LISTEN_ACK
// (or refused with A_LISTEN_NACK and the configured reason), the
// A_LISTEN_DATA of an accepted talk is kept and decoded, and
// A_LISTEN_STOP_REQ ends the talk with A_LISTEN_STOP_ACK.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "media/audio/g726.h"
#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// The talk audio of every connection, in the order it came: each
// A_LISTEN_DATA payload of an accepted talk and its decoding. Kept for tests
// and, when a path is given, written to the talk files as it comes. Any
// thread.
class TalkStore {
public:
    // The raw bytes go to `path`, the decoded values as 16-bit little-endian
    // PCM to `path` + ".pcm". Empty: memory only. False when the files
    // cannot be created.
    bool open(const std::string& path);

    void add(std::span<const std::uint8_t> chunk, std::span<const std::int16_t> decoded);

    std::vector<std::vector<std::uint8_t>> chunks() const;
    std::vector<std::int16_t> decoded() const;
    bool waitForChunks(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // -- guarded by mutex_ --
    std::vector<std::vector<std::uint8_t>> chunks_;
    std::vector<std::int16_t> decoded_;
    File raw_;
    File pcm_;
};

class Talk final : public SimFeature {
public:
    Talk(ClientLink& link, TalkStore& store) : link_(link), store_(store) {}

    void registerHandlers(HandlerTable& table) override;

private:
    void onTalkReq();
    void onTalkData(std::span<const std::uint8_t> payload);
    void onTalkStop();

    ClientLink& link_;
    TalkStore& store_;
    bool talking_ = false;
    // One decoder per talk: the chunks of a talk are one coded stream, and
    // bytes short of a whole group of eight codes wait for the next chunk.
    media::G726Decoder decoder_;
    std::vector<std::uint8_t> pending_;
};

}  // namespace kalix::sim
