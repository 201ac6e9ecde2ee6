#pragma once
// RIFF WAVE files of 16-bit PCM: kalix-cli writes the sound it plays and
// reads the sound it talks with.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace kalix::cli {

// Writes samples as they come; the sizes in the header are set on close.
class WavWriter {
public:
    WavWriter(const std::filesystem::path& path, int channels, int sample_rate);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool ok() const { return static_cast<bool>(out_); }
    void append(std::span<const std::int16_t> samples);
    void close();
    std::uint64_t samplesWritten() const { return samples_; }

private:
    std::ofstream out_;
    std::uint64_t samples_ = 0;
    std::pair<int, int> channels_and_rate_{2, 8000};
    bool closed_ = false;
};

struct WavData {
    int channels = 0;
    int sample_rate = 0;
    int bits = 0;
    std::uint64_t offset = 0;  // of the first sample
    std::uint64_t length = 0;  // bytes of samples
};

// The format and where the samples lie; nothing (and the reason) for a file
// that is not RIFF WAVE PCM or is cut short.
std::optional<WavData> readWavData(const std::filesystem::path& path, std::string& error);

}  // namespace kalix::cli
