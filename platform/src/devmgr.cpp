// PLACEHOLDER: replaced by the Device Manager.
#include "emul/devmgr.h"
#include "emul/fileobj.h"
namespace emul {
struct DeviceManager::Impl {};
DeviceManager::DeviceManager() {}
DeviceManager::~DeviceManager() {}
std::shared_ptr<FileObject> DeviceManager::openStream(const std::u16string &, uint32_t, uint32_t, uint32_t *error) {
    *error = 55;
    return nullptr;
}
} // namespace emul
