// Serial ports: the port objects, their file handles, ReadFile with COMMTIMEOUTS on device time,
// and the comm configuration calls. See emul/serial.h for the choices this emulation makes.
#include "emul/serial.h"

#include "emul/fileobj.h"
#include "emul/journal.h"
#include "emul/serial_line.h"
#include "emul/text.h"

#include <algorithm>
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

DCB defaultDcb(bool offers9600) {
    DCB d;
    std::memset(&d, 0, sizeof d);
    d.DCBlength = 28;
    d.BaudRate = offers9600 ? 9600 : 115200;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.XonLim = 512;
    d.XoffLim = 128;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    return d;
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

// ---- the file object of one open ----

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
};

template <> struct HandleTag<SerialFile> {
    static constexpr unsigned bit = KObject::kIsSerialFile;
};

[[gnu::hot]] bool SerialFile::read(void *buf, uint32_t n, uint32_t *got, uint32_t *error) {
    *got = 0;
    if (!port) {
        *error = ERROR_GEN_FAILURE;
        return false;
    }
    if (!(access & GENERIC_READ)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (n == 0)
        return true;
    if (!buf) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }

    struct ReadCount {
        long &n;
        explicit ReadCount(long &c) : n(c) { ++n; }
        ~ReadCount() { --n; }
    } counting(activeReads);
    const long handleRefs = otherRefs();

    Kernel &k = kern();
    const COMMTIMEOUTS t = port->state_.timeouts;
    const uint64_t start = k.now();
    uint64_t now = start;
    const uint32_t abortCount = port->abortCount_;
    const DWORD I = t.ReadIntervalTimeout, M = t.ReadTotalTimeoutMultiplier,
                C = t.ReadTotalTimeoutConstant;
    // Interval MAXDWORD with no total time-out: whatever is buffered, at once.
    const bool immediate = I == MAXDWORD && M == 0 && C == 0;
    // Interval and multiplier MAXDWORD: return as soon as there is anything, or after C ms.
    const bool firstByte = I == MAXDWORD && M == MAXDWORD && C > 0 && C < MAXDWORD;
    uint64_t total = kNever;
    if (firstByte)
        total = start + C;
    else if (M != 0 || C != 0)
        total = start + uint64_t(M) * n + C;

    uint8_t *out = static_cast<uint8_t *>(buf);
    bool haveByte = false;
    uint64_t lastByte = 0;
    for (;;) {
        if (!port) {
            *error = ERROR_GEN_FAILURE; // the port was removed from the device
            return false;
        }
        if (otherRefs() < handleRefs) { // the handle was closed meanwhile
            release();
            *error = ERROR_INVALID_HANDLE;
            return false;
        }
        SerialPort &p = *port;
        p.settle(now);
        while (*got < n && !p.rx_.empty()) {
            out[(*got)++] = p.rx_.front().value;
            lastByte = std::max(p.rx_.front().at, start);
            haveByte = true;
            p.rx_.pop_front();
        }
        if (*got == n || immediate || (firstByte && haveByte) || p.abortCount_ != abortCount)
            return true;
        uint64_t interval = (I != 0 && haveByte) ? lastByte + I : kNever;
        if (now >= total || now >= interval)
            return true;
        // What the wait looks at, kept here so that the wake condition is small enough for the
        // kernel to hold without an allocation.
        struct Wait {
            SerialFile *f;
            Kernel *k;
            uint32_t need, abortCount;
            long handleRefs;
        } w{this, &k, n - *got, abortCount, handleRefs};
        k.waitFor(
            [&w] {
                SerialPort *port = w.f->port;
                if (!port || w.f->otherRefs() < w.handleRefs || port->abortCount_ != w.abortCount)
                    return true;
                port->settle(w.k->now());
                return port->rx_.size() >= w.need;
            },
            std::min({total, interval, p.nextArrival()}));
        now = k.now();
    }
}

bool SerialFile::write(const void *buf, uint32_t n, uint32_t *put, uint32_t *error) {
    *put = 0;
    if (!port) {
        *error = ERROR_GEN_FAILURE;
        return false;
    }
    if (!(access & GENERIC_WRITE)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (n && !buf) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(buf);
    auto &sent = port->state_.transmitted;
    sent.insert(sent.end(), bytes, bytes + n);
    if (port->connected_)
        port->connected_->transmit(bytes, n);
    *put = n;
    return true;
}

// ---- ports ----

SerialPort::SerialPort(std::u16string name, bool offers9600)
    : name_(std::move(name)), offers9600_(offers9600) {
    state_.dcb = defaultDcb(offers9600);
    state_.timeouts = COMMTIMEOUTS{250, 10, 100, 0, 0};
    state_.dtr = state_.rts = true;
}

SerialPort::~SerialPort() {
    disconnect();
    for (SerialFile *f : files_)
        f->port = nullptr;
}

void SerialPort::settle() {
    settle(kern().now());
}

[[gnu::hot]] void SerialPort::settle(uint64_t now) {
    while (!line_.empty() && line_.front().at <= now) {
        if (owner_ && rx_.size() < state_.rxQueue) {
            rx_.push_back(line_.front());
        } else {
            ++state_.lost;
            if (owner_)
                state_.errors |= CE_RXOVER;
        }
        line_.pop_front();
    }
}

uint64_t SerialPort::nextArrival() const {
    return line_.empty() ? kNever : line_.front().at;
}

void SerialPort::arrive(uint64_t at, const std::vector<uint8_t> &bytes) {
    // After the bytes already on the line for the same time, so the order on the wire holds.
    auto pos = std::upper_bound(line_.begin(), line_.end(), at,
                                [](uint64_t t, const Byte &b) { return t < b.at; });
    std::vector<Byte> add;
    add.reserve(bytes.size());
    for (uint8_t b : bytes)
        add.push_back(Byte{at, b});
    line_.insert(pos, add.begin(), add.end());
}

void SerialPort::arriveNow(const std::vector<uint8_t> &bytes) {
    arrive(kern().now(), bytes);
    settle();
}

size_t SerialPort::received() {
    settle();
    return rx_.size();
}

void SerialPort::startReceiving() {
    settle(); // what arrived up to now found the port closed
}

void SerialPort::stopReceiving() {
    settle();
    owner_ = nullptr;
    rx_.clear();
    state_.errors = 0;
}

std::shared_ptr<FileObject> SerialPort::openFile(uint32_t access, uint32_t *error) {
    bool wantsLine = (access & (GENERIC_READ | GENERIC_WRITE)) != 0;
    if (wantsLine && owner_) {
        ++state_.refusedOpens;
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    auto f = std::make_shared<SerialFile>(this, access);
    f->self = f;
    files_.push_back(f.get());
    if (wantsLine) {
        startReceiving();
        owner_ = f.get();
    }
    ++state_.opens;
    return f;
}

// The kernel's host wait watches the line; what it hears arrives on the port at the device time
// at which the device hears it.
void SerialPort::connect(std::unique_ptr<SerialLine> line) {
    if (watchedFd_ >= 0)
        if (Device *d = Device::currentOrNull())
            d->kernel().unwatch(watchedFd_);
    watchedFd_ = -1;
    connected_ = std::move(line);
    if (!connected_)
        return;
    connected_->attached(*this);
    watchLine();
}

void SerialPort::disconnect() {
    connect(nullptr);
}

bool SerialPort::carrier() const {
    return !connected_ || connected_->carrier();
}

void SerialPort::watchLine() {
    watchedFd_ = connected_->waitFd();
    if (watchedFd_ >= 0)
        kern().watch(watchedFd_, [this](short) { serviceLine(); });
}

void SerialPort::serviceLine() {
    std::vector<uint8_t> bytes;
    connected_->service(&bytes);
    if (!bytes.empty())
        arriveNow(bytes);
    // A line that hung up waits for its peer on another descriptor, and back.
    if (connected_->waitFd() != watchedFd_) {
        kern().unwatch(watchedFd_);
        watchLine();
    }
}

// ---- the hub ----

SerialHub::SerialHub() {}
SerialHub::~SerialHub() {}

SerialPort &SerialHub::addPort(const std::u16string &name, bool offers9600) {
    if (SerialPort *p = find(name)) {
        p->setOffers9600(offers9600);
        return *p;
    }
    ports_.push_back(std::make_unique<SerialPort>(name, offers9600));
    return *ports_.back();
}

SerialPort *SerialHub::find(const std::u16string &name) {
    for (auto &p : ports_)
        if (equalsNoCase(p->name(), name))
            return p.get();
    return nullptr;
}

std::vector<SerialPort *> SerialHub::ports() const {
    std::vector<SerialPort *> out;
    for (auto &p : ports_)
        out.push_back(p.get());
    return out;
}

std::shared_ptr<FileObject> SerialHub::open(const std::u16string &name, uint32_t access, uint32_t,
                                            uint32_t *error) {
    SerialPort *p = find(name);
    if (!p) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return p->openFile(access, error);
}

void SerialHub::removeAll() {
    ports_.clear();
}

// ---- what the comm calls need of a handle ----

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
    dev().journal().call("EscapeCommFunction", Fields().num("func", func));
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("EscapeCommFunction"))
        return SerialAccess::finish(*f, "EscapeCommFunction", ERROR_GEN_FAILURE);
    auto &s = SerialAccess::port(*f).state();
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
    return SerialAccess::finish(*f, "EscapeCommFunction", error);
}

CEAPI BOOL GetCommProperties(HANDLE h, LPCOMMPROP prop) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("GetCommProperties"))
        return SerialAccess::finish(*f, "GetCommProperties", ERROR_GEN_FAILURE);
    if (!prop)
        return SerialAccess::finish(*f, "GetCommProperties", ERROR_INVALID_PARAMETER);
    SerialPort &p = SerialAccess::port(*f);
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
    return SerialAccess::finish(*f, "GetCommProperties", 0);
}

CEAPI BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    Fields journaled;
    timeoutFields(journaled, t);
    dev().journal().call("SetCommTimeouts", journaled);
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("SetCommTimeouts"))
        return SerialAccess::finish(*f, "SetCommTimeouts", ERROR_GEN_FAILURE);
    if (!t)
        return SerialAccess::finish(*f, "SetCommTimeouts", ERROR_INVALID_PARAMETER);
    SerialAccess::port(*f).state().timeouts = *t;
    return SerialAccess::finish(*f, "SetCommTimeouts", 0);
}

CEAPI BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (!t)
        return SerialAccess::finish(*f, "GetCommTimeouts", ERROR_INVALID_PARAMETER);
    *t = SerialAccess::port(*f).state().timeouts;
    return SerialAccess::finish(*f, "GetCommTimeouts", 0);
}

CEAPI BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("ClearCommError"))
        return SerialAccess::finish(*f, "ClearCommError", ERROR_GEN_FAILURE);
    SerialAccess::clearErrors(SerialAccess::port(*f), errors, stat);
    return SerialAccess::finish(*f, "ClearCommError", 0);
}

CEAPI BOOL SetCommMask(HANDLE h, DWORD mask) {
    dev().journal().call("SetCommMask", Fields().num("mask", mask));
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("SetCommMask"))
        return SerialAccess::finish(*f, "SetCommMask", ERROR_GEN_FAILURE);
    if (mask & ~kAllCommEvents)
        return SerialAccess::finish(*f, "SetCommMask", ERROR_INVALID_PARAMETER);
    SerialAccess::port(*f).state().mask = mask;
    return SerialAccess::finish(*f, "SetCommMask", 0);
}

CEAPI BOOL GetCommMask(HANDLE h, LPDWORD mask) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (!mask)
        return SerialAccess::finish(*f, "GetCommMask", ERROR_INVALID_PARAMETER);
    *mask = SerialAccess::port(*f).state().mask;
    return SerialAccess::finish(*f, "GetCommMask", 0);
}

CEAPI BOOL SetCommState(HANDLE h, LPDCB dcb) {
    Fields journaled;
    dcbFields(journaled, dcb);
    dev().journal().call("SetCommState", journaled);
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("SetCommState"))
        return SerialAccess::finish(*f, "SetCommState", ERROR_GEN_FAILURE);
    SerialPort &p = SerialAccess::port(*f);
    if (!dcb || !dcbValid(*dcb, p.offers9600()))
        return SerialAccess::finish(*f, "SetCommState", ERROR_INVALID_PARAMETER);
    auto &s = p.state();
    DWORD rate = dcb->BaudRate ? dcb->BaudRate : s.dcb.BaudRate; // 0 keeps the current rate
    s.dcb = *dcb;
    s.dcb.BaudRate = rate;
    if (dcb->fDtrControl != DTR_CONTROL_HANDSHAKE)
        s.dtr = dcb->fDtrControl == DTR_CONTROL_ENABLE;
    if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE && dcb->fRtsControl != RTS_CONTROL_TOGGLE)
        s.rts = dcb->fRtsControl == RTS_CONTROL_ENABLE;
    return SerialAccess::finish(*f, "SetCommState", 0);
}

CEAPI BOOL GetCommState(HANDLE h, LPDCB dcb) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (!dcb)
        return SerialAccess::finish(*f, "GetCommState", ERROR_INVALID_PARAMETER);
    *dcb = SerialAccess::port(*f).state().dcb;
    dcb->DCBlength = 28;
    return SerialAccess::finish(*f, "GetCommState", 0);
}

CEAPI BOOL PurgeComm(HANDLE h, DWORD flags) {
    dev().journal().call("PurgeComm", Fields().num("flags", flags));
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (failing("PurgeComm"))
        return SerialAccess::finish(*f, "PurgeComm", ERROR_GEN_FAILURE);
    if (flags & ~DWORD(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return SerialAccess::finish(*f, "PurgeComm", ERROR_INVALID_PARAMETER);
    SerialAccess::purge(SerialAccess::port(*f), flags);
    return SerialAccess::finish(*f, "PurgeComm", 0);
}

CEAPI BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    auto &s = SerialAccess::port(*f).state();
    // Queue sizes are a recommendation; 0 leaves a size as it is.
    if (inQueue)
        s.rxQueue = inQueue;
    if (outQueue)
        s.txQueue = outQueue;
    return SerialAccess::finish(*f, "SetupComm", 0);
}

CEAPI BOOL GetCommModemStatus(HANDLE h, LPDWORD status) {
    auto f = SerialAccess::file(h);
    if (!f)
        return FALSE;
    if (!status)
        return SerialAccess::finish(*f, "GetCommModemStatus", ERROR_INVALID_PARAMETER);
    *status = SerialAccess::port(*f).carrier() ? MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON : 0;
    return SerialAccess::finish(*f, "GetCommModemStatus", 0);
}
