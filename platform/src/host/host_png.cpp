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

} // namespace

bool write(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb,
           std::string *error) {
    if (width <= 0 || height <= 0 || rgb.size() < size_t(width) * size_t(height) * 3) {
        *error = "no picture to write";
        return false;
    }
    // Written beside the target and renamed over it: a failed write leaves nothing behind.
    std::string tmp = path + ".part";
    File file;
    file.f = std::fopen(tmp.c_str(), "wb");
    if (!file.f) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file.f);
        file.f = nullptr;
        unlink(tmp.c_str());
        *error = "cannot write " + path + ": the PNG encoder failed";
        return false;
    }
    png_init_io(png, file.f);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb.data() + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool ok = std::fflush(file.f) == 0 && !std::ferror(file.f);
    ok = std::fclose(file.f) == 0 && ok;
    file.f = nullptr;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        unlink(tmp.c_str());
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
