// The table of built-in controls and their registration with the window system.
#include "gwes/controls/combobox.h"

#include "emul/text.h"

namespace emul {

const std::vector<ControlClass> &controlClasses() {
    static const std::vector<ControlClass> table = {
        {u"Edit", editProc},
        {u"richink", richInkProc}, // spelt as the keyboard driver looks for it
        {u"Static", staticProc},
        {u"Button", buttonProc},
        {u"ComboBox", comboProc},
        {u"ComboLBox", comboListProc}, // a combo box's open list
        {u"msctls_trackbar32", trackbarProc},
        {u"SysTabControl32", tabProc},
        {u"menu_worker", menuBarProc},
        {u"FileDialogList", fileListProc}, // the file dialog's entries of a folder
    };
    return table;
}

bool isBuiltinControlProc(WNDPROC p) {
    for (const ControlClass &c : controlClasses())
        if (c.proc == p)
            return true;
    return false;
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
