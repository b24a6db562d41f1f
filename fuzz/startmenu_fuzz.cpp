// Fuzz target: the settings program's own walk of the Start menu (its Hot-Key page), over a
// Start-menu tree made from the input: folders nested or too long for the walk's buffers,
// names of any length and spelling, shortcuts of any content. The page's code runs as the
// program has it, on one device kept for the whole run, with its ten rows as real combo boxes.
// Every listed entry must fit the row's text, and the walk must leave no handle open. Input:
// entries of [folder][name length][name...][content length][content...]; an input whose first
// byte is odd lets the walk write its program values to the driver key (put back afterwards).
#include <windows.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/registry.h"
#include "fuzz_main.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "fuzz_startmenu: %s\n", what);
    std::abort();
}

const std::u16string kStartMenu = u"\\Windows\\Start Menu";
const std::u16string kDriverKey = u"Drivers\\BuiltIn\\Norvel";

// Where an entry goes: the Start menu itself, nested folders, and a folder whose name leaves
// no room in the walk's pattern buffer.
const std::u16string kFolders[] = {u"", u"\\Programs", u"\\Programs\\Games",
                                   u"\\" + std::u16string(130, u'L')};

struct Bench {
    emul::Device device;
    HWND page = nullptr;
    HKEY key = nullptr;
    std::set<std::u16string> installed; // the driver key's values before any input
    size_t handles = 0;

    Bench() {
        handheld::install(device);
        page = CreateWindowExW(0, TEXT("Static"), TEXT("page"), WS_VISIBLE, 0, 0, 240, 294, nullptr,
                               nullptr, nullptr, nullptr);
        for (int i = 0; i < IDC_CMD_ROWS; ++i)
            CreateWindowExW(0, TEXT("ComboBox"), TEXT(""), WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST,
                            0, 20 * i, 200, 20, page,
                            reinterpret_cast<HMENU>(intptr_t(IDC_CMD_FIRST + i)), nullptr, nullptr);
        if (!page ||
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &key) != ERROR_SUCCESS)
            Fail("no page or no driver key");
        for (auto &v : device.registry().values(kDriverKey))
            installed.insert(v.first);
        handles = device.handles().count();
    }

    void MakeTree(const uint8_t *d, size_t n) {
        std::error_code ec;
        std::filesystem::remove_all(device.files().hostPath(kStartMenu), ec);
        for (size_t i = 0; i + 2 <= n;) {
            const std::u16string &folder = kFolders[d[i] % 4];
            size_t nameLength = d[i + 1];
            i += 2;
            std::u16string name;
            for (; nameLength > 0 && i < n; --nameLength, ++i)
                name += char16_t(d[i] ? d[i] : 'x');
            size_t contentLength = i < n ? d[i++] : 0;
            contentLength = std::min(contentLength, n - i);
            std::string content(reinterpret_cast<const char *>(d + i), contentLength);
            i += contentLength;
            // Names the device refuses are simply not there.
            device.files().writeFile(kStartMenu + folder + u"\\" + name, content);
        }
    }

    void Run(const uint8_t *d, size_t n) {
        MakeTree(d, n);
        bool writes = n > 0 && (d[0] & 1);
        settingsKey = writes ? key : nullptr;
        for (int i = 0; i < IDC_CMD_ROWS; ++i)
            SendDlgItemMessageW(page, IDC_CMD_FIRST + i, CB_RESETCONTENT, 0, 0);
        HotKeyPage(page, WM_INITDIALOG, 0, 0);
        for (int i = 0; i < IDC_CMD_ROWS; ++i) {
            HWND combo = GetDlgItem(page, IDC_CMD_FIRST + i);
            int count = int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
            for (int e = 0; e < count; ++e)
                if (SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(e), 0) >= 50)
                    Fail("an entry is longer than a row shows");
        }
        if (writes) {
            // Back to the installation's values for the next input.
            for (auto &v : device.registry().values(kDriverKey))
                if (!installed.count(v.first))
                    device.registry().deleteValue(kDriverKey, v.first);
        }
        settingsKey = nullptr;
        device.journal().clear();
        if (device.handles().count() != handles)
            Fail("a handle was left open");
        if (device.registry().openHandles() != 1)
            Fail("a registry key was left open");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzdevice::KeptBench<Bench>().Run(data, size);
    return 0;
}

#ifndef FUZZ_WITH_LIBFUZZER
int main(int argc, char **argv) {
    return fuzzmain::Main(argc, argv, "fuzz_startmenu", FUZZ_CORPUS_DIR);
}
#endif
