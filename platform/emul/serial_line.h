// What a serial port is wired to. A port always has its scripted wire (SerialPort::arrive: bytes
// at given device times, for scenarios and tests); a line connected to it adds what a peer sends
// and takes what the port transmits. A new kind of line (a recorded file, a socket) is one new
// class of this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emul {

class SerialPort;

class SerialLine {
  public:
    virtual ~SerialLine() = default;

    // The port takes the line; a line that knows its bytes ahead (a recording) schedules them
    // here with port.arrive().
    virtual void attached(SerialPort &) {}
    // A host descriptor for the device's one host wait, or -1 when the line has nothing to wait
    // on. It may change after service() (a line that hung up waits for its peer on another).
    virtual int waitFd() const { return -1; }
    // The descriptor is ready (readable or hung up): appends the bytes heard now, which arrive on
    // the port at the current device time. Never blocks.
    virtual void service(std::vector<uint8_t> *) {}
    // What the port transmits; best effort, never blocks: what the line cannot take is dropped.
    virtual void transmit(const uint8_t *, size_t) {}
    // A peer is there (the port's carrier detect).
    virtual bool carrier() const { return true; }
};

// A new pseudo-terminal in raw mode, 9600 baud 8N1; *slavePath gets the path of the side that a
// host program opens. The line keeps that side open itself, so peers may come and go. Null with
// *error set on failure.
std::unique_ptr<SerialLine> openPtyLine(std::string *slavePath, std::string *error);
// A tty (or another program's pseudo-terminal) at `path` in raw mode, 9600 baud 8N1. When it
// hangs up (its peer went away) the line shows no carrier and opens `path` again every
// kTtyRetryMs of real time until that succeeds. Null with *error set when it cannot be opened.
constexpr int kTtyRetryMs = 500;
std::unique_ptr<SerialLine> openTtyLine(const std::string &path, std::string *error);

} // namespace emul
