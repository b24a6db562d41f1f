// The journal's call lines in a compact form that reads like an expectation.
#pragma once

#include <string>

namespace testing_support {

// One journal call line compactly: the call's name and its field values separated by blanks,
// strings without quotes, arrays as written. `{"t":3,"call":"keybd_event","vk":65,"scan":0,
// "flags":0,"extra":0}` becomes "keybd_event 65 0 0 0". Other lines give "".
std::string CompactCall(const std::string &line);

} // namespace testing_support
