// The host's dynamic linker, as the module loader needs it.
#pragma once

#include <string>

namespace emul::hostmod {

void *open(const std::string &path, std::string *why); // null with *why set on failure
void *symbol(void *h, const char *name);               // the module's own export, or null
void close(void *h);

} // namespace emul::hostmod
