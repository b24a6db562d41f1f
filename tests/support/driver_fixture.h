// A freshly installed device whose driver reports every DecodeKey call (the probe build), with
// helpers to feed the infrared line and read what the reader thread delivered.
#pragma once

#include <windows.h>

#include "device.h"
#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/fileobj.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "handheld/image/install.h"
#include "norvel_reg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

inline emul::RegValue Dword(uint32_t v) {
    return emul::regDword(v);
}

inline emul::RegValue Sz(const std::u16string &s, bool terminated = true) {
    return emul::regSz(s, terminated);
}

// One DecodeKey call as the probe reported it.
struct Decode {
    unsigned code, fresh;
    uint32_t tick;
};

const std::u16string kDriverKey = NORVEL_DRIVER_KEY;

class DriverTest : public ::testing::Test {
  protected:
    explicit DriverTest(emul::DeviceOptions options = emul::DeviceOptions()) : device(options) {
        handheld::InstallOptions io;
        io.driverBuild = "probe";
        handheld::install(device, io);
    }

    void Set(const std::u16string &name, uint32_t v) {
        device.registry().setValue(kDriverKey, name, Dword(v));
    }
    void SetAt(const std::u16string &key, const std::u16string &name, const emul::RegValue &v) {
        device.registry().createKey(key);
        device.registry().setValue(key, name, v);
    }
    std::u16string SzValue(const std::u16string &name) {
        return emul::regStringOf(device.registry().getValue(kDriverKey, name))
            .value_or(u"<absent>");
    }
    int64_t DwordValue(const std::u16string &name) {
        auto v = emul::regDwordOf(device.registry().getValue(kDriverKey, name));
        return v ? int64_t(*v) : -1;
    }

    uintptr_t Boot() {
        hnd = device.devices().activate(kDriverKey, 0);
        return hnd;
    }
    KeyboardDevice *Rec() {
        return reinterpret_cast<KeyboardDevice *>(device.devices().deviceContext(hnd));
    }
    emul::SerialPort &Line() { return *device.serial().find(u"COM2:"); }
    void Rx(std::vector<uint8_t> bytes) { Line().arriveNow(bytes); }
    void Wait(DWORD ms) { Sleep(ms); }
    // Brings the link up and lets the reader settle.
    void Connect() {
        Wait(50);
        Rx({0x05, 0x02});
        Wait(40);
    }

    std::vector<Decode> Decodes() const {
        std::vector<Decode> out;
        for (auto &l : const_cast<emul::Device &>(device).debugLog()) {
            std::string s(l.begin(), l.end());
            Decode d{};
            if (std::sscanf(s.c_str(), "DecodeKey %u %u %u", &d.code, &d.fresh, &d.tick) == 3)
                out.push_back(d);
        }
        return out;
    }
    // "code/fresh" of every call, for compact comparisons.
    std::vector<std::string> Codes() const {
        std::vector<std::string> out;
        for (auto &d : Decodes())
            out.push_back(std::to_string(d.code) + "/" + std::to_string(d.fresh));
        return out;
    }
    std::vector<std::string> Calls(const std::string &name) {
        return device.journal().grep("\"call\":\"" + name + "\"");
    }

    emul::Device device;
    uintptr_t hnd = 0;
};

} // namespace testing_support
