#include "wav_file.h"

#include <array>
#include <cstring>

#include "protocol/byte_order.h"

namespace kalix::cli {
namespace {

constexpr std::size_t kHeaderSize = 44;

std::array<std::uint8_t, kHeaderSize> header(int channels, int rate, std::uint64_t data_bytes) {
    std::array<std::uint8_t, kHeaderSize> h{};
    const auto data = static_cast<std::uint32_t>(data_bytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFull - 36 : data_bytes);
    std::memcpy(h.data(), "RIFF", 4);
    protocol::putLe32(h.data() + 4, 36 + data);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    protocol::putLe32(h.data() + 16, 16);
    protocol::putLe16(h.data() + 20, 1);  // PCM
    protocol::putLe16(h.data() + 22, static_cast<std::uint16_t>(channels));
    protocol::putLe32(h.data() + 24, static_cast<std::uint32_t>(rate));
    protocol::putLe32(h.data() + 28, static_cast<std::uint32_t>(rate * channels * 2));
    protocol::putLe16(h.data() + 32, static_cast<std::uint16_t>(channels * 2));
    protocol::putLe16(h.data() + 34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    protocol::putLe32(h.data() + 40, data);
    return h;
}

}  // namespace

WavWriter::WavWriter(const std::filesystem::path& path, int channels, int sample_rate)
    : out_(path, std::ios::binary | std::ios::trunc) {
    const auto h = header(channels, sample_rate, 0);
    out_.write(reinterpret_cast<const char*>(h.data()), h.size());
    // Remembered for the final header.
    samples_ = 0;
    channels_and_rate_ = {channels, sample_rate};
}

WavWriter::~WavWriter() { close(); }

void WavWriter::append(std::span<const std::int16_t> samples) {
    std::array<std::uint8_t, 2> le{};
    for (const std::int16_t s : samples) {
        protocol::putLe16(le.data(), static_cast<std::uint16_t>(s));
        out_.write(reinterpret_cast<const char*>(le.data()), 2);
    }
    samples_ += samples.size();
}

void WavWriter::close() {
    if (closed_ || !out_) return;
    closed_ = true;
    const auto h = header(channels_and_rate_.first, channels_and_rate_.second, samples_ * 2);
    out_.seekp(0);
    out_.write(reinterpret_cast<const char*>(h.data()), h.size());
    out_.close();
}

std::optional<WavData> readWavData(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the file";
        return std::nullopt;
    }
    std::uint8_t riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return std::nullopt;
    }
    WavData wav;
    bool have_format = false;
    std::uint64_t at = 12;
    for (;;) {
        std::uint8_t chunk[8];
        if (!in.read(reinterpret_cast<char*>(chunk), 8)) {
            error = "no data chunk";
            return std::nullopt;
        }
        const std::uint32_t size = protocol::le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) {
                error = "format chunk too short";
                return std::nullopt;
            }
            std::uint8_t fmt[16];
            if (!in.read(reinterpret_cast<char*>(fmt), 16)) {
                error = "format chunk cut short";
                return std::nullopt;
            }
            if (protocol::le16(fmt) != 1) {
                error = "not PCM";
                return std::nullopt;
            }
            wav.channels = protocol::le16(fmt + 2);
            wav.sample_rate = static_cast<int>(protocol::le32(fmt + 4));
            wav.bits = protocol::le16(fmt + 14);
            have_format = true;
            in.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_format) {
                error = "data before the format chunk";
                return std::nullopt;
            }
            wav.offset = at;
            in.seekg(0, std::ios::end);
            const auto end = static_cast<std::uint64_t>(in.tellg());
            wav.length = std::min<std::uint64_t>(size, end > at ? end - at : 0);
            return wav;
        } else {
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
        at += size + (size & 1);
    }
}

}  // namespace kalix::cli
