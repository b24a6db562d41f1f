// PLACEHOLDER: replaced by the serial ports.
#include "emul/serial.h"
#include "emul/fileobj.h"
namespace emul {
struct SerialPort::State {};
SerialHub::SerialHub() {}
SerialHub::~SerialHub() {}
std::shared_ptr<FileObject> SerialHub::open(const std::u16string &, uint32_t, uint32_t, uint32_t *error) {
    *error = 2;
    return nullptr;
}
} // namespace emul
