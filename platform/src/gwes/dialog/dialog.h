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

// A dialog of the window system's own, made without a template: a hidden pop-up of the dialog
// class at `r` (screen pixels) in the dialog font, owned by the top-level window of `owner`,
// `param` in its DWL_USER slot. The caller adds its controls; no WM_INITDIALOG is sent.
HWND createBareDialog(HWND owner, const std::u16string &title, uint32_t style, const RECT &r,
                      DLGPROC proc, LPARAM param);
// The platform's own dialogs (message boxes, the file dialog): a one-pixel frame and a caption
// bar of kDialogCaption pixels with the title.
constexpr int kDialogCaption = 18;
void paintDialogFrame(HDC dc, const RECT &client, const std::u16string &title);
// After one of those: the window in front before it comes to the front again when the dialog
// was in front as it ended, and the focus goes back where it was unless something took it.
void restoreFront(bool dialogWasInFront, uintptr_t front, HWND focus);
// The modal loop of DialogBoxParamW: the owner disabled, the dialog shown, messages run until
// EndDialog, then the owner enabled again and the dialog destroyed. `filter`, when given, sees
// each message first and keeps the ones it handles. -1 when the dialog is gone without an end.
using ModalFilter = bool (*)(HWND dlg, const MSG &m);
INT_PTR runModal(HWND dlg, ModalFilter filter = nullptr);

} // namespace emul
