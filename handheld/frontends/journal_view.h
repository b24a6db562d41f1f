// The journal for people: key names with down and up, characters, programs started, settings
// written; the lines that only say "something happened" are left out.
#pragma once

#include <string>

namespace handheld {

// One readable line for a journal line; "" for a line not worth showing.
std::string readableJournalLine(const std::string &json);

} // namespace handheld
