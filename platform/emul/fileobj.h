// Objects behind file handles: serial ports, stream-device clients, plain files.
#pragma once

#include "emul/device.h"

#include <cstdint>
#include <memory>
#include <string>

namespace emul {

struct FileObject : KObject {
    FileObject() { is |= kIsFile; }
    // Each returns false with *error set on failure, as ReadFile/WriteFile report it.
    virtual bool read(void *buf, uint32_t n, uint32_t *got, uint32_t *error) = 0;
    virtual bool write(const void *, uint32_t, uint32_t *put, uint32_t *error) {
        *put = 0;
        *error = 5;
        return false;
    }
    virtual uint32_t seek(int32_t, uint32_t, uint32_t *error) {
        *error = 1;
        return 0xFFFFFFFF;
    }
    virtual bool ioctl(uint32_t, void *, uint32_t, void *, uint32_t, uint32_t *, uint32_t *error) {
        *error = 1;
        return false;
    }
    virtual int64_t size() const { return -1; }
};

template <> struct HandleTag<FileObject> { static constexpr unsigned bit = KObject::kIsFile; };

// What CreateFileW opens, without the journal line (for host-side clients such as the
// scenario runner): a serial port, a stream device or a plain file; null with *error set.
std::shared_ptr<FileObject> openFileObject(const std::u16string &name, uint32_t access,
                                           uint32_t share, uint32_t disposition, uint32_t *error);

} // namespace emul
