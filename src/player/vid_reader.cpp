#include "player/vid_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "protocol/byte_order.h"

namespace kalix::player {

bool acceptedPictureSize(std::uint16_t width, std::uint16_t height) {
    const bool cif = (width == 352 || width == 360) && (height == 240 || height == 288);
    const bool full = (width == 704 || width == 720) &&
                      (height == 240 || height == 288 || height == 480 || height == 576);
    return cif || full;
}

std::uint32_t Unit::headerSize() const {
    return kind == UnitKind::Video ? static_cast<std::uint32_t>(media::kVideoFrameHeaderSize)
                                   : static_cast<std::uint32_t>(media::kAudioFrameHeaderSize);
}

bool PairReader::open(const std::string& vid_path) {
    close();
    protocol::UniqueFd vid(::open(vid_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!vid.valid()) return false;
    std::string idx_path = vid_path;
    if (idx_path.size() >= 3) idx_path.replace(idx_path.size() - 3, 3, "idx");
    protocol::UniqueFd idx(::open(idx_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!idx.valid()) return false;
    struct stat vs {};
    struct stat is {};
    if (::fstat(vid.get(), &vs) != 0 || ::fstat(idx.get(), &is) != 0) return false;
    // Offsets are 32-bit words in the files; a larger file cannot be ours.
    if (vs.st_size < kFirstUnitOffset + kTrailerSize || vs.st_size > 0xFFFFFFFFLL || is.st_size > 0xFFFFFFFFLL)
        return false;
    trailer_offset_ = static_cast<std::uint32_t>(vs.st_size - kTrailerSize);
    index_size_ = static_cast<std::uint32_t>(is.st_size);
    vid_ = std::move(vid);
    idx_ = std::move(idx);
    path_ = vid_path;
    return true;
}

void PairReader::close() {
    vid_.reset();
    idx_.reset();
    path_.clear();
    trailer_offset_ = 0;
    index_size_ = 0;
}

bool PairReader::readAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::uint32_t> PairReader::lastFrameOffset() const {
    std::array<std::uint8_t, kTrailerSize> trailer{};
    if (!readAt(vid_.get(), trailer_offset_, trailer)) return std::nullopt;
    return protocol::be32(trailer.data() + 36);
}

PairReader::ReadResult PairReader::readUnit(std::uint32_t offset) const {
    ReadResult result;
    const std::uint64_t at = offset;
    if (at < kFirstUnitOffset || at + media::kTypeWordOffset + 4 > trailer_offset_) {
        result.damage = "unit outside the media data";
        return result;
    }
    std::array<std::uint8_t, media::kVideoFrameHeaderSize> header{};
    if (!readAt(vid_.get(), at, std::span(header).first(media::kTypeWordOffset + 4))) {
        result.damage = "read failed";
        return result;
    }
    Unit unit;
    unit.offset = offset;
    const bool video = protocol::be32(header.data() + media::kTypeWordOffset) == media::kTypeVideo;
    unit.kind = video ? UnitKind::Video : UnitKind::Audio;
    const std::uint64_t header_size = unit.headerSize();
    if (at + header_size > trailer_offset_) {
        result.damage = "unit header runs past the .vid trailer";
        return result;
    }
    if (!readAt(vid_.get(), at, std::span(header).first(header_size))) {
        result.damage = "read failed";
        return result;
    }
    if (video) {
        const auto parsed = media::parseVideoFrameHeader(header);
        if (!parsed) {
            result.damage = "short video header";
            return result;
        }
        unit.video = *parsed;
        unit.payload_len = parsed->payload_len;
    } else {
        const auto parsed = media::parseAudioFrameHeader(std::span(header).first(header_size));
        if (!parsed) {
            result.damage = "short audio header";
            return result;
        }
        unit.audio = *parsed;
        unit.payload_len = parsed->payload_len;
    }
    if (at + header_size + unit.payload_len > trailer_offset_) {
        result.damage = "unit runs past the .vid trailer";
        return result;
    }
    result.unit = unit;
    return result;
}

bool PairReader::readPayload(const Unit& unit, std::vector<std::uint8_t>& buffer) const {
    if (unit.payload_len > kFrameBufferBytes) return false;
    buffer.resize(unit.payload_len);
    return readAt(vid_.get(), std::uint64_t{unit.offset} + unit.headerSize(), buffer);
}

std::optional<SeekEntry> PairReader::seekEntry(std::uint32_t idx_offset) const {
    if (std::uint64_t{idx_offset} + kSeekEntrySize > index_size_) return std::nullopt;
    std::array<std::uint8_t, kSeekEntrySize> bytes{};
    if (!readAt(idx_.get(), idx_offset, bytes)) return std::nullopt;
    return SeekEntry{protocol::be32(bytes.data()), protocol::be32(bytes.data() + 4)};
}

}  // namespace kalix::player
