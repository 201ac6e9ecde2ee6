// Feeds arbitrary recorder bytes to the session's receive path and dispatch,
// without a socket or a thread: the first byte chooses the size of the
// pieces the rest arrives in, so message boundaries fall everywhere. A
// crash, a sanitizer report or a hang is a find.

#include <algorithm>
#include <cstdint>
#include <span>

#include "session/dvr_session.h"

namespace {

using namespace kalix;
using namespace std::chrono_literals;

class NullSink final : public session::EventSink {
public:
    void post(session::Event) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] == 0 ? size : data[0];
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    session::SessionOptions options;
    options.address = "127.0.0.1";
    options.user = "fuzz";
    options.live_stop_pause = 0ms;
    options.keep_alive_interval = 1h;
    options.control_pause = 0ms;
    options.control_settle_play = 0ms;
    options.control_settle_other = 0ms;
    options.play_fail_pause = 0ms;
    options.play_pacing = false;
    NullSink sink;
    session::DvrSession dvr(options, sink);
    // A search and a playback request are outstanding, as when the operator
    // has asked; answers come whether or not they were asked for.
    dvr.searchEvents(1, 0);
    dvr.playStart(session::PlayStart{0xFFFF, 0, 1'700'000'000});
    dvr.requestLog();
    dvr.requestStatus();
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        dvr.feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
    // The administration's requests and queries on whatever the bytes left
    // behind (a stored configuration block goes back as an update).
    const auto block = dvr.administration().configBlock();
    dvr.configUpdate(block);
    dvr.recordButton();
    dvr.reboot();
    const auto state = dvr.administration().state();
    for (const auto& channel : state.channels) (void)dvr.channelName(channel.channel);
    dvr.close();
    // The log entry parser on its own, with whatever entry size the bytes name.
    (void)session::parseLogEntries(bytes);
    return 0;
}
