// The user at the device's screen, for scenarios and front ends: each action goes to the
// foreground program through the messages that a real tap or drag produces there. They run on a
// device thread (the scenario runner's) and return once the messages are handled; false with
// *error (a sentence without the command's name) when there is nothing to act on.
#pragma once

#include <string>

namespace emul {
namespace user {

bool tapTab(int index, std::string *error);                          // a tap on tab `index`
bool click(int id, std::string *error);                              // press and release
bool slide(int id, int pos, std::string *error);                     // drag the thumb to `pos`
bool select(int id, const std::u16string &text, std::string *error); // pick an entry
bool pressOk(std::string *error);     // the OK button in the foreground window's caption
bool pressCancel(std::string *error); // Cancel (the Escape key's command) to that window
void setInputPanel(bool on);          // the input panel button: shows or hides the panel

} // namespace user
} // namespace emul
