// The table of built-in controls and their registration with the window system.
#include "gwes/controls/controls.h"

#include "emul/text.h"

namespace emul {

const std::vector<ControlClass> &controlClasses() {
    static const std::vector<ControlClass> table = {
        {u"Edit", editProc, nullptr},
        {u"richink", richInkProc, nullptr}, // spelt as the keyboard driver looks for it
        {u"Static", staticProc, nullptr},
        {u"Button", buttonProc, describeButton},
        {u"ComboBox", comboProc, nullptr},
        {u"msctls_trackbar32", trackbarProc, nullptr},
        {u"SysTabControl32", tabProc, nullptr},
        {u"menu_worker", menuBarProc, nullptr},
    };
    return table;
}

const ControlClass *controlClass(const std::u16string &className) {
    for (const ControlClass &c : controlClasses())
        if (equalsNoCase(c.name, className))
            return &c;
    return nullptr;
}

void registerBuiltinControls(WindowSystem::Impl &ws) {
    for (const ControlClass &c : controlClasses()) {
        WndClass wc;
        wc.name = c.name;
        wc.proc = c.proc;
        wc.builtin = true;
        ws.classes[foldCase(wc.name)] = wc;
    }
    registerDialogClass(ws);
}

} // namespace emul
