#include "archive/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace kalix::archive {

bool ArchiveFile::open(const std::filesystem::path& path, Mode mode) {
    path_ = path;
    const int flags = mode == Mode::ReadOnly ? O_RDONLY | O_CLOEXEC : O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    fd_.reset(fd);
    errno_ = 0;
    return true;
}

bool ArchiveFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_.get(), out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            errno_ = n < 0 ? errno : 0;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ArchiveFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_.get(), bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            errno_ = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ArchiveFile::writeZeros(std::uint64_t offset, std::uint64_t count) {
    // Written, not left as a hole: the records later written in place then
    // never need new space on a full disk.
    static const std::array<std::uint8_t, 65536> kZeros{};
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
        if (!writeAt(offset, std::span(kZeros.data(), n))) return false;
        offset += n;
        count -= n;
    }
    return true;
}

bool ArchiveFile::truncate(std::uint64_t size) {
    if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) {
        errno_ = errno;
        return false;
    }
    return true;
}

bool ArchiveFile::size(std::uint64_t& out) {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) {
        errno_ = errno;
        return false;
    }
    out = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void ArchiveFile::adviseRandomAccess() {
    if (fd_.valid()) ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_RANDOM);
}

std::string errorText(int error_number) {
    std::array<char, 256> buffer{};
    // The GNU form returns the text, which may or may not be the buffer.
    const char* text = ::strerror_r(error_number, buffer.data(), buffer.size());
    return text;
}

}  // namespace kalix::archive
