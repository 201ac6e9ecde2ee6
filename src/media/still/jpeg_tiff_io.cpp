// The two writers that go through their libraries, and the TIFF reader.

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <system_error>

#include <jpeglib.h>
#include <tiffio.h>

#include "media/still/still_image.h"

namespace kalix::media {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// libjpeg reports errors by calling error_exit, which must not return.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}
void jpegQuiet(j_common_ptr, int) {}

// libtiff's messages would go to standard error.
void tiffQuiet(const char*, const char*, va_list) {}

// Row `i` from the top of a bottom-up B, G, R bitmap, as R, G, B.
void topRowRgb(std::span<const std::uint8_t> bitmap, int width, int height, int i, std::uint8_t* out) {
    const auto w = static_cast<std::size_t>(width);
    const std::uint8_t* in = bitmap.data() + static_cast<std::size_t>(height - 1 - i) * w * 3;
    for (std::size_t x = 0; x < w; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
    }
}

bool fits(std::span<const std::uint8_t> bitmap, int width, int height) {
    return width > 0 && height > 0 &&
           bitmap.size() >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// The compression itself, apart so that nothing with a destructor lives in
// the frame that longjmp leaves.
bool compressJpeg(std::FILE* file, std::span<const std::uint8_t> bitmap, int width, int height,
                  std::vector<std::uint8_t>& row) {
    jpeg_compress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegQuiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        topRowRgb(bitmap, width, height, static_cast<int>(info.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool writeJpeg(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height) {
    if (!fits(bitmap, width, height)) return false;
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    const bool ok = compressJpeg(f.get(), bitmap, width, height, row);
    const bool closed = std::fclose(f.release()) == 0;
    if (ok && closed) return true;
    removeQuietly(path);
    return false;
}

bool writeTiff(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height) {
    if (!fits(bitmap, width, height)) return false;
    TIFFSetErrorHandler(tiffQuiet);
    TIFFSetWarningHandler(tiffQuiet);
    bool ok = false;
    {
        TiffHandle t(TIFFOpen(path.c_str(), "wb"));
        if (!t) return false;
        TIFFSetField(t.get(), TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
        TIFFSetField(t.get(), TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
        TIFFSetField(t.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t.get(), TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
        TIFFSetField(t.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t.get(), TIFFTAG_ROWSPERSTRIP, 1);
        TIFFSetField(t.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
        TIFFSetField(t.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
        ok = true;
        for (int i = 0; i < height && ok; ++i) {
            topRowRgb(bitmap, width, height, i, row.data());
            ok = TIFFWriteScanline(t.get(), row.data(), static_cast<std::uint32_t>(i), 0) == 1;
        }
        ok = ok && TIFFFlush(t.get()) == 1;
    }
    if (!ok) removeQuietly(path);
    return ok;
}

std::optional<RgbImage> readTiff(const std::filesystem::path& path) {
    TIFFSetErrorHandler(tiffQuiet);
    TIFFSetWarningHandler(tiffQuiet);
    TiffHandle t(TIFFOpen(path.c_str(), "r"));
    if (!t) return std::nullopt;
    std::uint32_t width = 0, height = 0;
    if (TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 || TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &height) != 1)
        return std::nullopt;
    // A forged header must not make us allocate gigabytes.
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return std::nullopt;
    std::vector<std::uint32_t> raster(std::size_t{width} * height);
    if (TIFFReadRGBAImageOriented(t.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 0) != 1)
        return std::nullopt;
    RgbImage image{static_cast<int>(width), static_cast<int>(height), {}};
    image.rgb.resize(raster.size() * 3);
    for (std::size_t i = 0; i < raster.size(); ++i) {
        const std::uint32_t p = raster[i];
        const std::uint32_t a = TIFFGetA(p);
        // Weighted by alpha, rounded, so that an opaque pixel keeps its value.
        image.rgb[3 * i] = static_cast<std::uint8_t>((TIFFGetR(p) * a + 127) / 255);
        image.rgb[3 * i + 1] = static_cast<std::uint8_t>((TIFFGetG(p) * a + 127) / 255);
        image.rgb[3 * i + 2] = static_cast<std::uint8_t>((TIFFGetB(p) * a + 127) / 255);
    }
    return image;
}

}  // namespace kalix::media
