// The journal's call records in a compact form that reads like an expectation.
#pragma once

#include "emul/journal.h"

#include <string>
#include <vector>

namespace testing_support {

// One call record compactly: the call's name and its field values separated by blanks, texts
// as they are, windows by name, arrays as JSON writes them. keybd_event with vk 65, scan 0,
// flags 0 and extra 0 becomes "keybd_event 65 0 0 0". Other records give "".
std::string CompactCall(const emul::Record &r);

// The compact form of every call record, as they come.
class CompactCalls : public emul::JournalSink {
  public:
    void record(const emul::Record &r) override;
    std::vector<std::string> calls;
};

} // namespace testing_support
