// Fuzz target: the content of a Start-menu shortcut read by SHGetShortcutTarget (the call the
// settings program lists its hot-key programs with), on one device kept for the whole run. The
// target it gives back must be terminated inside the caller's buffer.
#include <windows.h>

#include <aygshell.h>
#include <shellapi.h>

#include "emul/device.h"
#include "emul/files.h"
#include "fuzz_main.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static emul::Device *device = [] {
        fuzzdevice::FilesInMemory();
        auto *d = new emul::Device(); // kept to the end
        handheld::install(*d);
        fuzzdevice::RemoveAtExit(d->files().root());
        return d;
    }();
    std::u16string path = u"\\Windows\\Start Menu\\Fuzz.lnk";
    device->files().writeFile(path, std::string(reinterpret_cast<const char *>(data), size));
    WCHAR target[64 + 1];
    for (int len : {1, 16, 64}) {
        std::memset(target, 0xAB, sizeof target);
        if (SHGetShortcutTarget(&path[0], target, len)) {
            bool terminated = false;
            for (int i = 0; i < len && !terminated; ++i)
                terminated = target[i] == 0;
            if (!terminated || target[len] != 0xABAB) {
                std::fprintf(stderr, "fuzz_shortcut: target not terminated in %d characters\n",
                             len);
                std::abort();
            }
        }
    }
    device->journal().clear();
    return 0;
}
