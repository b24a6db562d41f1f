// PLACEHOLDER: replaced by the window system.
#include "emul/windows_sys.h"
namespace emul {
struct WindowSystem::Impl {};
WindowSystem::WindowSystem() : impl_(nullptr) {}
WindowSystem::~WindowSystem() {}
std::string WindowSystem::journalName(uintptr_t) const { return ""; }
} // namespace emul
