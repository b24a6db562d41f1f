// The file object of one open of a serial port, shared by the port (serial.cpp) and the comm
// calls on its handle (comm_calls.cpp).
#pragma once

#include "emul/fileobj.h"
#include "emul/serial.h"

#include <algorithm>
#include <memory>

namespace emul {

struct SerialFile : FileObject {
    SerialPort *port;
    uint32_t access;
    long activeReads = 0;
    std::weak_ptr<SerialFile> self; // its references are counted without taking one

    SerialFile(SerialPort *p, uint32_t a) : port(p), access(a) { is |= kIsSerialFile; }
    ~SerialFile() override { release(); }
    const char *kind() const override { return "serial"; }
    void onClose() override { release(); }

    // Ends this open: the port stops receiving when this was the open with access.
    void release() {
        if (!port)
            return;
        SerialPort *p = port;
        port = nullptr;
        p->files_.erase(std::remove(p->files_.begin(), p->files_.end(), this), p->files_.end());
        if (p->owner_ == this)
            p->stopReceiving();
    }

    // A ReadFile in progress holds a reference of its own, so closing the handle meanwhile does
    // not reach onClose: the read sees the reference of the handle table go away instead.
    long otherRefs() const { return self.use_count() - activeReads; }

    bool read(void *buf, uint32_t n, uint32_t *got, uint32_t *error) override;
    bool write(const void *buf, uint32_t n, uint32_t *put, uint32_t *error) override;

  private:
    struct ReadWait;
    static bool readWaitOver(const void *wait); // the wake condition of a blocked read
};

template <> struct HandleTag<SerialFile> {
    static constexpr unsigned bit = KObject::kIsSerialFile;
};

} // namespace emul
