// The screen as text: the picture the terminal shows, without its attributes, in a frame.
#include "frontends/screen.h"

#include "frontends/screen_picture.h"

#include "emul/text.h"
#include "emul/windows_sys.h"

namespace handheld {

std::string renderScreen(emul::Device &device) {
    ScreenModel model = screenModel(device.windows().view());
    Picture picture;
    drawModel(model, picture);
    std::string rule = "+" + std::string(size_t(picture.cols()), '-') + "+\n";
    std::u16string title = model.title.substr(0, size_t(picture.cols()));
    title.resize(size_t(picture.cols()), u' ');
    std::string out = rule + "|" + emul::utf8(title) + "|\n" + rule;
    for (int row = 0; row < picture.rows(); ++row)
        out += "|" + emul::utf8(picture.line(row)) + "|\n";
    return out + rule;
}

} // namespace handheld
