// Feeds arbitrary recorder bytes to the session's receive loop and
// dispatch. The recorder's side closes after the bytes, so every run ends
// with the loop's own end; a crash, a sanitizer report or a hang is a find.

#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "protocol/unique_fd.h"
#include "session/dvr_session.h"

namespace {

using namespace kalix;
using namespace std::chrono_literals;

class EndSink final : public session::EventSink {
public:
    void post(session::Event event) override {
        const auto* n = std::get_if<session::Notice>(&event);
        std::lock_guard lock(mutex_);
        // The receive loop's final notice: the thread is on its way out.
        if (n != nullptr && n->kind == 2) ++ends_;
        ended_.notify_all();
    }
    void waitForLoopEnd(int at_least) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, 30s, [&] { return ends_ >= at_least; });
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    int ends_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    protocol::UniqueFd client(fds[0]);
    protocol::UniqueFd recorder(fds[1]);

    std::jthread writer([&recorder, data, size] {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::send(recorder.get(), data + done, size - done, MSG_NOSIGNAL);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::shutdown(recorder.get(), SHUT_WR);
    });

    session::SessionOptions options;
    options.address = "127.0.0.1";
    options.user = "fuzz";
    options.close_grace = 0ms;
    options.live_stop_pause = 0ms;
    options.receive_limit = 2s;
    EndSink sink;
    {
        session::DvrSession dvr(options, sink);
        dvr.adopt(std::move(client));
        // Kind 2 also comes from a refused login answer; the loop's own end
        // follows once the input runs out.
        sink.waitForLoopEnd(1);
        writer.join();
        dvr.close();
    }
    return 0;
}
