// Serial ports: the port objects, their file handles and ReadFile with COMMTIMEOUTS on device
// time (the comm calls are in comm_calls.cpp). See emul/serial.h for the choices this emulation
// makes.
#include "emul/serial.h"

#include "devices/serial_file.h"

#include "emul/fileobj.h"
#include "emul/journal.h"
#include "emul/serial_line.h"
#include "emul/text.h"

#include <algorithm>
#include <cstring>

namespace emul {

namespace {

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

} // namespace

// What a blocked read looks at, on the reader's stack for as long as it waits.
struct SerialFile::ReadWait {
    SerialFile *f;
    Kernel *k;
    uint32_t need, abortCount;
    long handleRefs;
};

EMUL_IDLE_PATH bool SerialFile::readWaitOver(const void *arg) {
    const ReadWait &w = *static_cast<const ReadWait *>(arg);
    SerialPort *port = w.f->port;
    if (!port || w.f->otherRefs() < w.handleRefs || port->abortCount_ != w.abortCount)
        return true;
    port->settle(w.k->now());
    return port->rx_.size() >= w.need;
}

EMUL_IDLE_PATH bool SerialFile::read(void *buf, uint32_t n, uint32_t *got, uint32_t *error) {
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

    noteWarmLine(WarmLine::port, port);
    noteWarmLine(WarmLine::file, this);
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
        ReadWait w{this, &k, n - *got, abortCount, handleRefs};
        k.waitFor(readWaitOver, &w, std::min({total, interval, p.nextArrival()}));
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

EMUL_IDLE_PATH void SerialPort::settle(uint64_t now) {
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
    openings_.bump();
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
        openings_.bump();
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

} // namespace emul
