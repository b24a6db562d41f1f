// One table of virtual-key names for the key map and the readable journal.
#include "keyboard/vk_names.h"

namespace handheld {

namespace {

struct VkName {
    int vk;
    const char *constant, *label;
};

const VkName kNames[] = {
    {0x08, "VK_BACK", "Backspace"},
    {0x09, "VK_TAB", "Tab"},
    {0x0D, "VK_RETURN", "Enter"},
    {0x10, "VK_SHIFT", "Shift"},
    {0x11, "VK_CONTROL", "Ctrl"},
    {0x12, "VK_MENU", "Alt"},
    {0x14, "VK_CAPITAL", "Caps Lock"},
    {0x1B, "VK_ESCAPE", "Escape"},
    {0x20, "VK_SPACE", "Space"},
    {0x21, "VK_PRIOR", "Page Up"},
    {0x22, "VK_NEXT", "Page Down"},
    {0x23, "VK_END", "End"},
    {0x24, "VK_HOME", "Home"},
    {0x25, "VK_LEFT", "Left"},
    {0x26, "VK_UP", "Up"},
    {0x27, "VK_RIGHT", "Right"},
    {0x28, "VK_DOWN", "Down"},
    {0x2E, "VK_DELETE", "Delete"},
    {0x76, "VK_F7", "F7"},
    {0xBA, "VK_SEMICOLON", ";"},
    {0xBB, "VK_EQUAL", "="},
    {0xBC, "VK_COMMA", ","},
    {0xBD, "VK_HYPHEN", "-"},
    {0xBE, "VK_PERIOD", "."},
    {0xBF, "VK_SLASH", "/"},
    {0xC0, "VK_BACKQUOTE", "`"},
    {0xDB, "VK_LBRACKET", "["},
    {0xDC, "VK_BACKSLASH", "\\"},
    {0xDD, "VK_RBRACKET", "]"},
    {0xDE, "VK_APOSTROPHE", "'"},
    {0xDF, "VK_OFF", "Power"},
};

const VkName *find(int vk) {
    for (const VkName &n : kNames)
        if (n.vk == vk)
            return &n;
    return nullptr;
}

std::string unnamed(int vk) {
    return "VK " + std::to_string(vk);
}

} // namespace

std::string vkConstant(int vk) {
    const VkName *n = find(vk);
    return n ? n->constant : unnamed(vk);
}

std::string vkLabel(int vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return std::string(1, char(vk));
    const VkName *n = find(vk);
    return n ? n->label : unnamed(vk);
}

} // namespace handheld
