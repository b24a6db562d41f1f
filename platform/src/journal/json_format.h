// A record's fields as JSON, for the sinks that write or keep JSON lines and for the text of a
// field that has no plainer form.
#pragma once

#include "emul/journal.h"

namespace emul {

// Bytes that putValue may write for the field of `fs`, whose windows are named in `names`.
size_t valueBound(const Fields &fs, const WindowNames &names, const Field &f);
// The field's value as JSON at `p`; returns the end.
char *putValue(char *p, const Fields &fs, const WindowNames &names, const Field &f);

} // namespace emul
