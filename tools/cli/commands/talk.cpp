// kalix-cli talk: log in, ask the recorder to listen and, once it accepts,
// speak a WAV file as the microphone; after --seconds stop talking and close.

#include <cstdio>
#include <string>

#include "cli/commands/commands.h"
#include "cli/headless_sound.h"
#include "cli/json_line.h"
#include "cli/wav_file.h"
#include "media/audio/sound_in.h"

namespace kalix::cli {
namespace {

class TalkCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli talk --host ADDR [--port N] --user NAME --password PASS\n"
               "                      --input FILE.wav --seconds N [--json]\n"
               "\n"
               "Logs in, asks the recorder to listen and, once it accepts, speaks FILE.wav\n"
               "(2 channels, 8,000 Hz, 16-bit) as the microphone; after N seconds stops\n"
               "talking and closes the session.\n"
               "\n";
    }

    OptionArity option(std::string_view name) const override {
        return name == "--input" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view, std::string_view value) override {
        input_ = value;
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions& common) const override {
        if (!common.seconds) return UsageError{"missing", "--seconds"};
        if (input_.empty()) return UsageError{"missing", "--input"};
        return std::nullopt;
    }

    // The microphone's format is fixed; any other file is refused before
    // the recorder hears of us.
    bool prepare(const CommonOptions&) override {
        std::string error;
        wav_ = readWavData(input_, error);
        if (wav_ && (wav_->channels != 2 || wav_->sample_rate != 8000 || wav_->bits != 16))
            error = "not 2-channel 8 kHz 16-bit PCM (" + std::to_string(wav_->channels) + " channels, " +
                    std::to_string(wav_->sample_rate) + " Hz, " + std::to_string(wav_->bits) + "-bit)";
        if (!error.empty()) {
            std::fprintf(stderr, "kalix-cli talk: %s: %s\n", input_.c_str(), error.c_str());
            return false;
        }
        return true;
    }

    // Talk needs a sound output, as in the desktop client.
    void configure(session::SessionOptions& so) override { so.live_audio.make_output = headlessSoundOutput(); }

    void loginAccepted(SessionRun& run) override { run.session().talkRequest(); }

    void event(const session::Event& event, SessionRun& run) override {
        const auto* post = std::get_if<session::WindowPost>(&event);
        if (post == nullptr) return;
        if (post->message == session::WindowMessage::TalkAccepted && !run.ending()) {
            run.session().startMicrophone(
                media::makeFileSoundIn(input_, media::CapturePacing::RealTime, wav_->offset, wav_->length));
            run.out().line(JsonLine("talk").add("state", "accepted").str(), "talk accepted");
        } else if (post->message == session::WindowMessage::TalkEnded) {
            run.session().stopMicrophone();
            run.out().line(JsonLine("talk").add("state", "ended").str(), "talk ended by the recorder");
        }
    }

    void beforeClose(SessionRun& run) override {
        auto& dvr = run.session();
        if (!dvr.talking()) return;
        const auto sent = dvr.talkChunksSent();
        dvr.talkStop();
        run.out().line(JsonLine("talk").add("state", "stopped").add("chunks_sent", static_cast<std::int64_t>(sent)).str(),
                       "talk stopped after " + std::to_string(sent) + " chunks");
    }

private:
    std::string input_;
    std::optional<WavData> wav_;
};

}  // namespace

std::unique_ptr<SessionCommand> makeTalkCommand() { return std::make_unique<TalkCommand>(); }

}  // namespace kalix::cli
