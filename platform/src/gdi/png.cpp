// Pictures of surfaces as PNG files: the screen for screenshots, any bitmap for tests.
#include "gdi/gdi.h"

#include "host/host_png.h"

namespace emul::gdi {

std::vector<uint8_t> rgbOf(const Surface &s) {
    std::vector<uint8_t> out(size_t(s.width) * size_t(s.height) * 3);
    uint8_t *o = out.data();
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            COLORREF c = s.color(s.get(x, y));
            *o++ = GetRValue(c);
            *o++ = GetGValue(c);
            *o++ = GetBValue(c);
        }
    return out;
}

} // namespace emul::gdi

using namespace emul;
using namespace emul::gdi;

std::vector<uint8_t> Graphics::rgb() const {
    return rgbOf(impl_->state.screen);
}

bool Graphics::savePng(const std::string &path, std::string *error) const {
    const Surface &s = impl_->state.screen;
    return hostpng::write(path, s.width, s.height, rgbOf(s), error);
}

bool emul::saveBitmapPng(void *bitmap, const std::string &path, std::string *error) {
    Bitmap *b = state().getAs<Bitmap>(bitmap, Kind::Bitmap);
    if (!b) {
        *error = "not a bitmap";
        return false;
    }
    return hostpng::write(path, b->surface.width, b->surface.height, rgbOf(b->surface), error);
}

bool emul::readPng(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
                   std::string *error) {
    return hostpng::read(path, width, height, rgb, error);
}

bool emul::writePng(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb,
                    std::string *error) {
    return hostpng::write(path, width, height, rgb, error);
}
