// Serial (COM) ports of the device and the lines behind them.
//
// A port's receive buffer holds bytes stamped with their arrival time; ReadFile applies the
// COMMTIMEOUTS rules on device time. The port's scripted wire puts bytes at given device times;
// a connected line (emul/serial_line.h: a host pseudo-terminal or tty) adds what its peer sends.
//
// Choices of this emulation where the platform leaves room:
// - One open with GENERIC_READ or GENERIC_WRITE access at a time; a second such open fails with
//   ERROR_ACCESS_DENIED (5). Opens with access 0 (for querying and configuring) are always
//   allowed. The share mode is not checked.
// - The port receives while an open with access exists; bytes that arrive while it has none are
//   lost, and closing that open discards what is still buffered. Settings (DCB, time-outs, mask,
//   infrared mode) survive a close, as the UART keeps them.
// - Before any SetCommTimeouts a read uses interval 250, multiplier 10, constant 100 (write
//   0/0), so a read on an unconfigured silent port still ends.
// - The interval time-out starts when the read has its first byte (at the read's start for
//   bytes that were already buffered) and restarts with every byte that arrives.
// - Writes are transmitted at once: the bytes are kept in State::transmitted and go to the
//   connected line, if there is one.
// - GetCommModemStatus reports CTS, DSR and carrier detect on while the connected line has a peer
//   (always for the scripted wire alone) and all off while it has none.
#pragma once

#include <windows.h>

#include "emul/kernel.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace emul {

class SerialPort;
class SerialLine;
struct FileObject;
struct SerialFile;

class SerialHub {
  public:
    SerialHub();
    ~SerialHub();
    // Creates (or returns) the port NAME ("COM2:"); `offers9600` sets BAUD_9600 in its
    // settable baud rates (also for a port that exists already).
    SerialPort &addPort(const std::u16string &name, bool offers9600 = true);
    SerialPort *find(const std::u16string &name); // case-insensitive; null if absent
    std::vector<SerialPort *> ports() const;
    // CreateFileW of a COM name: the port's file object, or null with *error set (2 when the
    // device has no such port, 5 when the port is already open with access).
    std::shared_ptr<FileObject> open(const std::u16string &name, uint32_t access, uint32_t share,
                                     uint32_t *error);
    void removeAll();

  private:
    std::vector<std::unique_ptr<SerialPort>> ports_;
};

class SerialPort {
  public:
    SerialPort(std::u16string name, bool offers9600);
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    const std::u16string &name() const { return name_; }
    // True while an open with read or write access exists (the UART is receiving).
    bool isOpen() const { return owner_ != nullptr; }
    // Moves whenever isOpen() changes, for a wake condition that looks at it (see Kernel::block).
    const ChangeCount &openings() const { return openings_; }
    bool offers9600() const { return offers9600_; }
    void setOffers9600(bool on) { offers9600_ = on; }

    // Scripted line: bytes that arrive at device time `at` (absolute ms). Bytes that arrive
    // while the port is closed are lost, as on a real UART.
    void arrive(uint64_t at, const std::vector<uint8_t> &bytes);
    void arriveNow(const std::vector<uint8_t> &bytes);
    // Bytes in the receive buffer at the current device time.
    size_t received();

    // Wires the port to `line` (replacing the one before; null: the scripted wire alone). The
    // device's host wait watches the line's descriptor from then on. Needs a current device.
    void connect(std::unique_ptr<SerialLine> line);
    void disconnect();
    // A peer is on the line (the scripted wire alone always has one).
    bool carrier() const;

    // Called after each comm call on a handle of the port, whatever its outcome (name of the
    // call); tests use it to make bytes arrive in the middle of the set-up.
    std::function<void(const char *call)> onConfigure;

    // What the device's code set (for tests).
    struct State {
        DCB dcb;
        COMMTIMEOUTS timeouts;
        uint32_t mask = 0;
        bool irMode = false; // SETIR / CLRIR
        bool dtr = false, rts = false, breakOn = false;
        uint32_t rxQueue = 4096, txQueue = 4096; // SetupComm
        uint32_t errors = 0;                     // CE_* bits that ClearCommError reports
        uint32_t purges = 0;                     // successful PurgeComm calls
        uint32_t opens = 0;                      // successful opens (any access)
        uint32_t refusedOpens = 0;
        uint64_t lost = 0; // bytes that arrived while closed or with the buffer full
        std::vector<uint8_t> transmitted;
    };
    State &state() { return state_; }

  private:
    friend struct SerialFile;
    friend struct SerialAccess;
    friend class SerialHub;
    struct Byte {
        uint64_t at;
        uint8_t value;
    };
    std::shared_ptr<FileObject> openFile(uint32_t access, uint32_t *error);
    // Moves the line's bytes that have arrived by now into the receive buffer (or drops them
    // when the port is closed). Called before every change of state.
    void settle();
    void settle(uint64_t now); // the same, at a time the caller has read
    uint64_t nextArrival() const;
    void startReceiving();
    void stopReceiving();
    void watchLine();   // registers the line's current descriptor with the host wait
    void serviceLine(); // the descriptor is ready

    std::u16string name_;
    bool offers9600_;
    State state_;
    std::deque<Byte> line_; // scheduled, not yet arrived (sorted by time)
    std::deque<Byte> rx_;   // the receive buffer
    SerialFile *owner_ = nullptr;
    OwnedChangeCount<SerialPort> openings_;
    std::vector<SerialFile *> files_;
    uint32_t abortCount_ = 0; // PURGE_RXABORT ends the reads in progress
    std::unique_ptr<SerialLine> connected_;
    int watchedFd_ = -1;
};

} // namespace emul
