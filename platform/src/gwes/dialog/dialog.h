// Dialogs inside the window system: templates, dialog units and the dialog class.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace emul {

// A dialog template as the resource compiler writes it (classic DLGTEMPLATE or the extended
// form), read into plain fields.
struct DialogItem {
    uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    std::u16string className; // predefined ordinals become their class names
    std::u16string title;
    bool titleIsId = false; // title is a resource ordinal (an icon for a static)
    uint16_t titleId = 0;
    std::vector<uint8_t> creationData;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string menu, className, title;
    bool hasFont = false;
    int pointSize = 0;
    std::u16string typeface;
    std::vector<DialogItem> items;
};

// Reads a template of at most `size` bytes; false when it is damaged or cut short.
bool parseDialogTemplate(const uint8_t *p, size_t size, DialogTemplate *out);

// Dialog base units of a font: the average character width and the character height in pixels.
struct DialogUnits {
    int baseX = 6, baseY = 13;
    int toPixelsX(int du) const { return MulDiv(du, baseX, 4); }
    int toPixelsY(int du) const { return MulDiv(du, baseY, 8); }
};
DialogUnits dialogUnitsOf(const std::u16string &typeface, int pointSize);
DialogUnits systemDialogUnits();

} // namespace emul
