// The comm configuration calls on a serial port's handle.
#include "emul/serial.h"

#include "devices/serial_file.h"

#include "emul/device.h"
#include "emul/fileobj.h"
#include "emul/journal.h"

#include <cstring>

namespace emul {

namespace {

// COMMPROP bits that the CE SDK header of this platform does not spell out.
constexpr DWORD kBaudUser = 0x10000000;
constexpr DWORD kPcfCaps = 0x0001 | 0x0002 | 0x0008 | 0x0010 | 0x0020 | 0x0040 | 0x0080 | 0x0100;
constexpr DWORD kSpParams = 0x0001 | 0x0002 | 0x0004 | 0x0008 | 0x0010 | 0x0020 | 0x0040;
constexpr WORD kDataBits5to8 = 0x0001 | 0x0002 | 0x0004 | 0x0008;
constexpr WORD kStopParity = 0x0001 | 0x0002 | 0x0004                      // 1, 1.5, 2 stop bits
                             | 0x0100 | 0x0200 | 0x0400 | 0x0800 | 0x1000; // N, O, E, M, S
constexpr BYTE kSpaceParity = 4;
constexpr DWORD kAllCommEvents = 0x3FFF; // EV_RXCHAR .. EV_POWER

struct Rate {
    DWORD baud, bit;
};
constexpr Rate kRates[] = {{1200, BAUD_1200},   {2400, BAUD_2400},    {4800, BAUD_4800},
                           {9600, BAUD_9600},   {19200, BAUD_19200},  {38400, BAUD_38400},
                           {57600, BAUD_57600}, {115200, BAUD_115200}};

DWORD settableBaud(bool offers9600) {
    DWORD bits = 0;
    for (const Rate &r : kRates)
        if (r.baud != 9600 || offers9600)
            bits |= r.bit;
    return bits;
}

bool rateSettable(DWORD baud, bool offers9600) {
    DWORD bits = settableBaud(offers9600);
    for (const Rate &r : kRates)
        if (r.baud == baud)
            return (bits & r.bit) != 0;
    return (bits & kBaudUser) != 0;
}

bool dcbValid(const DCB &d, bool offers9600) {
    if (d.ByteSize < 4 || d.ByteSize > 8 || d.Parity > kSpaceParity || d.StopBits > TWOSTOPBITS)
        return false;
    if (d.fDtrControl > DTR_CONTROL_HANDSHAKE)
        return false;
    if (d.BaudRate != 0 && !rateSettable(d.BaudRate, offers9600))
        return false;
    // XON and XOFF must differ even when software flow control is off, as the platform checks.
    if (d.XonChar == d.XoffChar)
        return false;
    return true;
}

} // namespace

struct SerialAccess {
    // The open behind a handle; null with the last error set when it is not a live serial port.
    static std::shared_ptr<SerialFile> file(HANDLE h) {
        auto f = dev().handles().getAs<SerialFile>(h);
        if (!f) {
            setLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (!f->port) {
            setLastError(ERROR_GEN_FAILURE);
            return nullptr;
        }
        return f;
    }
    static SerialPort &port(SerialFile &f) { return *f.port; }
    static void purge(SerialPort &p, DWORD flags) {
        p.settle();
        if (flags & PURGE_RXCLEAR)
            p.rx_.clear();
        if (flags & PURGE_RXABORT)
            ++p.abortCount_;
        ++p.state_.purges;
    }
    static void clearErrors(SerialPort &p, LPDWORD errors, LPCOMSTAT stat) {
        p.settle();
        if (errors)
            *errors = p.state_.errors;
        p.state_.errors = 0;
        if (stat) {
            std::memset(stat, 0, sizeof *stat);
            stat->cbInQue = DWORD(p.rx_.size());
        }
    }
    // Runs the port's hook, then reports the outcome; the hook may make calls of its own, so
    // the last error is set after it.
    static BOOL finish(SerialFile &f, const char *call, DWORD error) {
        if (f.port && f.port->onConfigure) {
            auto hook = f.port->onConfigure;
            hook(call);
        }
        if (error) {
            setLastError(error);
            return FALSE;
        }
        return TRUE;
    }
};

// One comm call on a handle, named once: its journal line (when it writes one), its fault point
// and the port's hook all take the name from here.
class CommCall {
  public:
    CommCall(const char *name, HANDLE h) : name_(name), file_(SerialAccess::file(h)) {}
    // The same for a call that writes a journal line, before anything else.
    CommCall(const char *name, HANDLE h, const Fields &fields)
        : name_(journaled(name, fields)), file_(SerialAccess::file(h)) {}

    bool open() const { return file_ != nullptr; } // false: not a live port, last error set
    bool faulted() const { return failing(name_); }
    SerialPort &port() { return SerialAccess::port(*file_); }
    BOOL finish(DWORD error) { return SerialAccess::finish(*file_, name_, error); }

  private:
    static const char *journaled(const char *name, const Fields &fields) {
        dev().journal().call(name, fields);
        return name;
    }
    const char *name_;
    std::shared_ptr<SerialFile> file_;
};

} // namespace emul

using namespace emul;

namespace {

void timeoutFields(Fields &f, const COMMTIMEOUTS *t) {
    const char *names[] = {"ReadIntervalTimeout", "ReadTotalTimeoutMultiplier",
                           "ReadTotalTimeoutConstant", "WriteTotalTimeoutMultiplier",
                           "WriteTotalTimeoutConstant"};
    DWORD values[] = {0, 0, 0, 0, 0};
    if (t) {
        values[0] = t->ReadIntervalTimeout;
        values[1] = t->ReadTotalTimeoutMultiplier;
        values[2] = t->ReadTotalTimeoutConstant;
        values[3] = t->WriteTotalTimeoutMultiplier;
        values[4] = t->WriteTotalTimeoutConstant;
    }
    for (int i = 0; i < 5; ++i)
        t ? f.num(names[i], values[i]) : f.null(names[i]);
}

void dcbFields(Fields &f, const DCB *d) {
    if (!d) {
        f.null("DCBlength");
        return;
    }
    f.num("DCBlength", d->DCBlength)
        .num("BaudRate", d->BaudRate)
        .num("fBinary", d->fBinary)
        .num("fParity", d->fParity)
        .num("fOutxCtsFlow", d->fOutxCtsFlow)
        .num("fOutxDsrFlow", d->fOutxDsrFlow)
        .num("fDtrControl", d->fDtrControl)
        .num("fDsrSensitivity", d->fDsrSensitivity)
        .num("fTXContinueOnXoff", d->fTXContinueOnXoff)
        .num("fOutX", d->fOutX)
        .num("fInX", d->fInX)
        .num("fErrorChar", d->fErrorChar)
        .num("fNull", d->fNull)
        .num("fRtsControl", d->fRtsControl)
        .num("fAbortOnError", d->fAbortOnError)
        .num("fDummy2", d->fDummy2)
        .num("wReserved", d->wReserved)
        .num("XonLim", d->XonLim)
        .num("XoffLim", d->XoffLim)
        .num("ByteSize", d->ByteSize)
        .num("Parity", d->Parity)
        .num("StopBits", d->StopBits)
        .num("XonChar", uint8_t(d->XonChar))
        .num("XoffChar", uint8_t(d->XoffChar))
        .num("ErrorChar", uint8_t(d->ErrorChar))
        .num("EofChar", uint8_t(d->EofChar))
        .num("EvtChar", uint8_t(d->EvtChar))
        .num("wReserved1", d->wReserved1);
}

} // namespace

CEAPI BOOL EscapeCommFunction(HANDLE h, DWORD func) {
    CommCall c("EscapeCommFunction", h, Fields().num("func", func));
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    auto &s = c.port().state();
    DWORD error = 0;
    switch (func) {
    case SETXOFF:
    case SETXON:
        break;
    case SETRTS:
    case CLRRTS:
        s.rts = func == SETRTS;
        break;
    case SETDTR:
    case CLRDTR:
        s.dtr = func == SETDTR;
        break;
    case SETBREAK:
    case CLRBREAK:
        s.breakOn = func == SETBREAK;
        break;
    case SETIR:
    case CLRIR:
        s.irMode = func == SETIR;
        break;
    default:
        error = ERROR_INVALID_PARAMETER;
    }
    return c.finish(error);
}

CEAPI BOOL GetCommProperties(HANDLE h, LPCOMMPROP prop) {
    CommCall c("GetCommProperties", h);
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    if (!prop)
        return c.finish(ERROR_INVALID_PARAMETER);
    SerialPort &p = c.port();
    std::memset(prop, 0, sizeof *prop);
    prop->wPacketLength = 64;
    prop->wPacketVersion = 2;
    prop->dwServiceMask = SP_SERIALCOMM;
    prop->dwMaxBaud = BAUD_115200;
    prop->dwProvSubType = PST_RS232;
    prop->dwProvCapabilities = kPcfCaps;
    prop->dwSettableParams = kSpParams;
    prop->dwSettableBaud = settableBaud(p.offers9600());
    prop->wSettableData = kDataBits5to8;
    prop->wSettableStopParity = kStopParity;
    prop->dwCurrentTxQueue = p.state().txQueue;
    prop->dwCurrentRxQueue = p.state().rxQueue;
    return c.finish(0);
}

CEAPI BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    Fields journaled;
    timeoutFields(journaled, t);
    CommCall c("SetCommTimeouts", h, journaled);
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    if (!t)
        return c.finish(ERROR_INVALID_PARAMETER);
    c.port().state().timeouts = *t;
    return c.finish(0);
}

CEAPI BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    CommCall c("GetCommTimeouts", h);
    if (!c.open())
        return FALSE;
    if (!t)
        return c.finish(ERROR_INVALID_PARAMETER);
    *t = c.port().state().timeouts;
    return c.finish(0);
}

CEAPI BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat) {
    CommCall c("ClearCommError", h);
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    SerialAccess::clearErrors(c.port(), errors, stat);
    return c.finish(0);
}

CEAPI BOOL SetCommMask(HANDLE h, DWORD mask) {
    CommCall c("SetCommMask", h, Fields().num("mask", mask));
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    if (mask & ~kAllCommEvents)
        return c.finish(ERROR_INVALID_PARAMETER);
    c.port().state().mask = mask;
    return c.finish(0);
}

CEAPI BOOL GetCommMask(HANDLE h, LPDWORD mask) {
    CommCall c("GetCommMask", h);
    if (!c.open())
        return FALSE;
    if (!mask)
        return c.finish(ERROR_INVALID_PARAMETER);
    *mask = c.port().state().mask;
    return c.finish(0);
}

CEAPI BOOL SetCommState(HANDLE h, LPDCB dcb) {
    Fields journaled;
    dcbFields(journaled, dcb);
    CommCall c("SetCommState", h, journaled);
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    SerialPort &p = c.port();
    if (!dcb || !dcbValid(*dcb, p.offers9600()))
        return c.finish(ERROR_INVALID_PARAMETER);
    auto &s = p.state();
    DWORD rate = dcb->BaudRate ? dcb->BaudRate : s.dcb.BaudRate; // 0 keeps the current rate
    s.dcb = *dcb;
    s.dcb.BaudRate = rate;
    if (dcb->fDtrControl != DTR_CONTROL_HANDSHAKE)
        s.dtr = dcb->fDtrControl == DTR_CONTROL_ENABLE;
    if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE && dcb->fRtsControl != RTS_CONTROL_TOGGLE)
        s.rts = dcb->fRtsControl == RTS_CONTROL_ENABLE;
    return c.finish(0);
}

CEAPI BOOL GetCommState(HANDLE h, LPDCB dcb) {
    CommCall c("GetCommState", h);
    if (!c.open())
        return FALSE;
    if (!dcb)
        return c.finish(ERROR_INVALID_PARAMETER);
    *dcb = c.port().state().dcb;
    dcb->DCBlength = 28;
    return c.finish(0);
}

CEAPI BOOL PurgeComm(HANDLE h, DWORD flags) {
    CommCall c("PurgeComm", h, Fields().num("flags", flags));
    if (!c.open())
        return FALSE;
    if (c.faulted())
        return c.finish(ERROR_GEN_FAILURE);
    if (flags & ~DWORD(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return c.finish(ERROR_INVALID_PARAMETER);
    SerialAccess::purge(c.port(), flags);
    return c.finish(0);
}

CEAPI BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    CommCall c("SetupComm", h);
    if (!c.open())
        return FALSE;
    auto &s = c.port().state();
    // Queue sizes are a recommendation; 0 leaves a size as it is.
    if (inQueue)
        s.rxQueue = inQueue;
    if (outQueue)
        s.txQueue = outQueue;
    return c.finish(0);
}

CEAPI BOOL GetCommModemStatus(HANDLE h, LPDWORD status) {
    CommCall c("GetCommModemStatus", h);
    if (!c.open())
        return FALSE;
    if (!status)
        return c.finish(ERROR_INVALID_PARAMETER);
    *status = c.port().carrier() ? MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON : 0;
    return c.finish(0);
}
