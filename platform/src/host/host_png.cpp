// PNG reading and writing with libpng. Written files carry no time stamp or other chunk that
// changes from run to run, so the same screen gives the same bytes.
#include "host/host_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace emul::hostpng {

namespace {

struct File {
    FILE *f = nullptr;
    ~File() {
        if (f)
            std::fclose(f);
    }
};

void appendBytes(png_structp png, png_bytep data, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

} // namespace

bool write(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb,
           std::string *error) {
    if (width <= 0 || height <= 0 || rgb.size() < size_t(width) * size_t(height) * 3) {
        *error = "no picture to write";
        return false;
    }
    // Encoded in memory first: a failing encoder leaves the file alone, and nothing but the
    // file itself is ever written.
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = "cannot write " + path + ": the PNG encoder failed";
        return false;
    }
    png_set_write_fn(png, &bytes, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb.data() + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    File file;
    file.f = std::fopen(path.c_str(), "wb");
    if (!file.f) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file.f) == bytes.size() &&
              std::fflush(file.f) == 0;
    int why = errno;
    ok = std::fclose(file.f) == 0 && ok;
    file.f = nullptr;
    if (!ok) {
        // A cut-short picture is worse than none.
        unlink(path.c_str());
        *error = "cannot write " + path + ": " + std::strerror(why ? why : errno);
        return false;
    }
    return true;
}

bool read(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
          std::string *error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = "cannot read " + path + ": " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        *error = "cannot read " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    *width = int(image.width);
    *height = int(image.height);
    *rgb = std::move(pixels);
    return true;
}

} // namespace emul::hostpng
