// Serial (COM) ports of the device and the lines behind them.
//
// A port's receive buffer holds bytes stamped with their arrival time; ReadFile applies the
// COMMTIMEOUTS rules on device time. A scripted line puts bytes at given device times; a host
// line feeds bytes from a pseudo-terminal or tty through a host reader thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace emul {

class SerialPort;
struct FileObject;

class SerialHub {
  public:
    SerialHub();
    ~SerialHub();
    // Creates (or returns) the port NAME ("COM2:"); `offers9600` sets BAUD_9600 in its
    // settable baud rates.
    SerialPort &addPort(const std::u16string &name, bool offers9600 = true);
    SerialPort *find(const std::u16string &name); // case-insensitive; null if absent
    // CreateFileW of a COM name: the port's file object, or null with *error set (2 when the
    // device has no such port).
    std::shared_ptr<FileObject> open(const std::u16string &name, uint32_t access, uint32_t share,
                                     uint32_t *error);
    void removeAll();

  private:
    std::vector<std::unique_ptr<SerialPort>> ports_;
};

class SerialPort {
  public:
    explicit SerialPort(std::u16string name, bool offers9600);
    ~SerialPort();
    const std::u16string &name() const { return name_; }
    bool isOpen() const { return open_; }

    // Scripted line: bytes that arrive at device time `at` (absolute ms). Bytes that arrive
    // while the port is closed are lost, as on a real UART.
    void arrive(uint64_t at, const std::vector<uint8_t> &bytes);
    void arriveNow(const std::vector<uint8_t> &bytes);
    // Host line: serve this port from a pseudo-terminal master or a tty (path); returns false
    // with a message when it cannot be opened. `openPty` creates a pseudo-terminal and returns
    // the path of its slave side ("" on failure).
    std::string openPty();
    bool attachTty(const std::string &path, std::string *error);

    // Called after each configuration call of the port (name of the call); tests use it to
    // make bytes arrive in the middle of the set-up.
    std::function<void(const char *call)> onConfigure;

    // What the device's code set (for tests).
    struct State;
    State &state();

  private:
    friend struct SerialAccess;
    std::u16string name_;
    bool open_ = false;
    std::unique_ptr<State> state_;
};

} // namespace emul
