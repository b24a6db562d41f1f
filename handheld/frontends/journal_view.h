// The journal for people: key names with down and up, characters, programs started, settings
// written; the records that only say "something happened" are left out.
#pragma once

#include "emul/journal.h"

#include <deque>
#include <string>

namespace handheld {

// One readable line for a record; "" for a record not worth showing.
std::string readableLine(const emul::Record &r);

// The readable lines of the records as they come: the last 200 of them.
class ReadableJournal : public emul::JournalSink {
  public:
    void record(const emul::Record &r) override;
    // True once after new lines came: the device looks at its threads again before it waits,
    // as one of them may be waiting for the lines.
    bool flush() override;
    std::deque<std::string> lines;
    bool changed = false; // a line came since the owner last cleared it

  private:
    bool unseen_ = false;
};

} // namespace handheld
