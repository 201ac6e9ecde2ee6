#pragma once
// One open archive file, read and written at explicit offsets: the writer
// keeps its own append positions, the readers never share a file position.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "protocol/unique_fd.h"

namespace kalix::archive {

class ArchiveFile {
public:
    enum class Mode { ReadOnly, CreateNew };

    ArchiveFile() = default;

    // CreateNew fails with EEXIST when the name is taken: a pair never
    // replaces another one's files.
    bool open(const std::filesystem::path& path, Mode mode);
    bool isOpen() const { return fd_.valid(); }
    void close() { fd_.reset(); }

    // Whole transfers or false; errorNumber() tells why (0: end of file).
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out);
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool writeZeros(std::uint64_t offset, std::uint64_t count);
    bool truncate(std::uint64_t size);
    // Current length, or false.
    bool size(std::uint64_t& out);

    // Scattered small reads ahead: no read-ahead for this descriptor.
    void adviseRandomAccess();

    int errorNumber() const { return errno_; }
    const std::filesystem::path& path() const { return path_; }

private:
    protocol::UniqueFd fd_;
    std::filesystem::path path_;
    int errno_ = 0;
};

// The system's text for an error number.
std::string errorText(int error_number);

}  // namespace kalix::archive
