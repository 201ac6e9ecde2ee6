#pragma once
// Units as a recorder sends them in a download, a scratch folder, and small
// helpers to look at the bytes of a written pair.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "protocol/byte_order.h"

namespace kalix::archive::testing {

using Bytes = std::vector<std::uint8_t>;

struct VideoSpec {
    std::uint32_t time = 1'700'000'000;
    std::uint32_t key = 1;
    std::uint8_t channel = 0;
    std::uint32_t payload = 100;
    std::uint8_t kind = 0;        // EncVideoHeader frame kind: 0 key frame
    std::uint8_t flag = 0;        // byte 50
    std::uint8_t decode_only = 0;  // byte 52
    unsigned width = 352;
    unsigned height = 288;
    std::uint8_t fill = 0;  // payload bytes: fill + position
};

inline Bytes videoUnit(const VideoSpec& s) {
    Bytes u(kVideoHeaderSize + s.payload);
    protocol::putBe32(u.data() + 16, kVideoUnitMagic);
    protocol::putBe32(u.data() + 24, s.time);
    protocol::putBe32(u.data() + 28, s.payload);
    protocol::putBe32(u.data() + 32, 0xDEADBEEF);  // the writer replaces it
    protocol::putBe32(u.data() + 40, s.key);
    u[48] = 0x48;
    u[49] = 0x49;
    u[50] = s.flag;
    u[51] = 0x51;
    u[52] = s.decode_only;
    // EncVideoHeader at 128, little-endian.
    u[128] = static_cast<std::uint8_t>(s.payload);
    u[129] = static_cast<std::uint8_t>(s.payload >> 8);
    u[130] = static_cast<std::uint8_t>(((s.payload >> 16) & 0x0F) | (s.kind << 6));
    u[132] = static_cast<std::uint8_t>(s.height / 16);
    u[133] = static_cast<std::uint8_t>(s.width / 16);
    protocol::putLe32(u.data() + 148, s.time);
    u[164] = s.channel;
    for (std::size_t i = 0; i < s.payload; ++i)
        u[kVideoHeaderSize + i] = static_cast<std::uint8_t>(s.fill + i);
    return u;
}

inline Bytes audioUnit(std::uint32_t mask, std::uint32_t payload = 96, std::uint8_t fill = 0x30) {
    Bytes u(kAudioHeaderSize + payload, fill);
    std::fill(u.begin(), u.begin() + kAudioHeaderSize, std::uint8_t{0});
    protocol::putBe32(u.data() + 16, kAudioUnitMagic);
    protocol::putBe32(u.data() + 28, payload);
    protocol::putBe32(u.data() + 40, mask);
    protocol::putBe32(u.data() + 52, mask);
    return u;
}

struct EventSpec {
    std::uint32_t time = 0;
    std::uint32_t time2 = 0;
    std::uint32_t mask = 1;
    std::uint8_t kind = 1;
};

inline Bytes eventRecord(const EventSpec& e) {
    Bytes r(kEventRecordSize, 0);
    protocol::putBe32(r.data(), e.time);
    protocol::putBe32(r.data() + 4, e.time2);
    protocol::putBe32(r.data() + 8, e.mask);
    r[12] = e.kind;
    r[31] = 0x77;
    return r;
}

// declared_len < 0: the true length of the records.
inline Bytes eventLogUnit(const std::vector<EventSpec>& events, long declared_len = -1) {
    Bytes u(kEventLogHeaderSize, 0);
    protocol::putBe32(u.data() + 16, kEventLogUnitMagic);
    for (const auto& e : events) {
        const auto r = eventRecord(e);
        u.insert(u.end(), r.begin(), r.end());
    }
    const auto len = declared_len < 0 ? static_cast<std::uint32_t>(events.size() * kEventRecordSize)
                                      : static_cast<std::uint32_t>(declared_len);
    protocol::putBe32(u.data() + 28, len);
    return u;
}

inline Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline std::uint32_t be32At(const Bytes& b, std::size_t offset) { return protocol::be32(b.data() + offset); }

// A folder of its own for one test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kalix-archive-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace kalix::archive::testing
