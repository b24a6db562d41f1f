// The names of the virtual keys the keyboard sends: the SDK's constant, and the key as people
// call it.
#pragma once

#include <string>

namespace handheld {

// "VK_BACK"; "VK 118" for a key without a name here.
std::string vkConstant(int vk);
// "Backspace", "A", "7"; "VK 118" for a key without a name here.
std::string vkLabel(int vk);

} // namespace handheld
