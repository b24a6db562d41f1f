// PLACEHOLDER: replaced by the SQLite hive.
#include "emul/registry.h"
namespace emul {
std::unique_ptr<Registry> Registry::open(const std::string &) { return nullptr; }
} // namespace emul
