// PNG reading and writing with libpng. Written files carry no time stamp or other chunk that
// changes from run to run, so the same screen gives the same bytes.
#include "host/host_png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emul::hostpng {

namespace {

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
    // Never blocks on a pipe nor follows a link at the end of the path, and anything but a
    // plain file stays as it is: a failed write below removes what it wrote.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0666);
    if (fd < 0) {
        // ENXIO: a pipe nobody reads, or a socket.
        *error = "cannot write " + path + ": " +
                 (errno == ELOOP   ? "it is a symbolic link"
                  : errno == ENXIO ? "not a plain file"
                                   : std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *error = "cannot write " + path + ": not a plain file";
        return false;
    }
    bool ok = ftruncate(fd, 0) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? size_t(n) : 0;
    }
    int why = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        // A cut-short picture is worse than none.
        unlink(path.c_str());
        *error = "cannot write " + path + ": " + std::strerror(why ? why : EIO);
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
