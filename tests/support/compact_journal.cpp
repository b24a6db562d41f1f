// The compact form of the journal's call records.
#include "support/compact_journal.h"

namespace testing_support {

std::string CompactCall(const emul::Record &r) {
    if (std::string_view(r.head) != "call")
        return "";
    std::string out(r.name);
    for (const emul::Field &f : r.fields)
        out += " " + r.text(f);
    return out;
}

void CompactCalls::record(const emul::Record &r) {
    std::string c = CompactCall(r);
    if (!c.empty())
        calls.push_back(std::move(c));
}

} // namespace testing_support
