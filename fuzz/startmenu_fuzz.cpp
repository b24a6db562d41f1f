// Fuzz target: the settings program's own walk of the Start menu (its Hot-Key page), over a
// Start-menu tree made from the input: folders nested or too long for the walk's buffers,
// names of any length and spelling, shortcuts of any content. The page's code runs as the
// program has it, on one device kept for the whole run, with its ten rows as real combo boxes.
// Every listed entry must fit the row's text, and the walk must leave no handle open. Input:
// entries of [folder][name length][name...][content length][content...]; an input whose first
// byte is odd lets the walk write its program values to the driver key (put back afterwards).
// The tree stays between inputs and only the files that differ are written or removed; the
// folders are always there, and no file takes a folder's name.
#include <windows.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/text.h"
#include "fuzz_main.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

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

    emul::Program settings; // what the page's thread belongs to

    Bench() {
        handheld::install(device);
        // The walk runs as the settings program's thread, so its messages to its own rows
        // are not journaled, as on the device.
        settings.name = u"kbsettings.exe";
        device.kernel().self()->program = &settings;
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
        // An empty Start menu with every folder an entry can go to.
        std::error_code ec;
        std::filesystem::remove_all(device.files().hostPath(kStartMenu), ec);
        for (const std::u16string &folder : kFolders) {
            device.files().makeFolders(kStartMenu + folder);
            folders.push_back(device.files().hostPath(kStartMenu + folder));
        }
        handles = device.handles().count();
    }

    // The tree one input makes, keyed by folder and name without case (as the device matches
    // names): the spelling that stays on the device and the last content written under it.
    struct File {
        std::u16string spelling;
        std::string content;
    };
    using Tree = std::map<std::pair<size_t, std::u16string>, File>;
    Tree tree;                        // what the Start menu holds now
    std::vector<std::string> folders; // the host folders of kFolders

    static std::u16string PathOf(size_t folder, const std::u16string &name) {
        return kStartMenu + kFolders[folder] + u"\\" + name;
    }

    // Whether the device keeps a file of this name in that folder: a valid name of the device
    // that the host can hold, and not the name of one of the folders.
    static bool Kept(size_t folder, const std::u16string &name) {
        if (name.empty() || name == u"." || name == u".." || name.size() > 255 ||
            PathOf(folder, name).size() > 259 || emul::utf8(name).size() > 255)
            return false;
        for (char16_t c : name)
            if (c < 0x20 || std::u16string_view(u"<>:\"|?*").find(c) != std::u16string::npos)
                return false;
        // Names of folders are left out wherever they are, so whether a folder can be made
        // never depends on the order of the entries.
        std::u16string folded = emul::foldCase(name);
        for (size_t f = 1; f < std::size(kFolders); ++f)
            if (emul::foldCase(kFolders[f].substr(kFolders[f].rfind(u'\\') + 1)) == folded)
                return false;
        return true;
    }

    // The Start menu as the input's entries, written one after another, would leave it. Only
    // what differs from the last input's tree is written or removed: writing every file at
    // every input cost more than the walk itself.
    void MakeTree(const uint8_t *d, size_t n) {
        Tree next;
        for (size_t i = 0; i + 2 <= n;) {
            size_t folder = d[i] % std::size(kFolders);
            size_t nameLength = d[i + 1];
            i += 2;
            std::u16string name;
            // A NUL or a separator in a name becomes a letter: nesting comes from the folders.
            for (; nameLength > 0 && i < n; --nameLength, ++i)
                name += char16_t(d[i] && d[i] != '\\' && d[i] != '/' ? d[i] : 'x');
            size_t contentLength = i < n ? d[i++] : 0;
            contentLength = std::min(contentLength, n - i);
            std::string content(reinterpret_cast<const char *>(d + i), contentLength);
            i += contentLength;
            if (!Kept(folder, name))
                continue; // names the device refuses are simply not there
            // A later name that differs only in case replaces the content, not the spelling.
            auto [at, added] = next.try_emplace({folder, emul::foldCase(name)}, File{name, {}});
            at->second.content = std::move(content);
        }
        for (auto &[key, file] : tree) {
            auto now = next.find(key);
            if ((now == next.end() || now->second.spelling != file.spelling) &&
                unlink((folders[key.first] + "/" + emul::utf8(file.spelling)).c_str()) != 0)
                Fail("a file of the last tree was not there");
        }
        for (auto &[key, file] : next) {
            auto was = tree.find(key);
            if (was != tree.end() && was->second.spelling == file.spelling &&
                was->second.content == file.content)
                continue;
            // No other spelling is left in the folder, so the file goes straight to the host.
            std::string path = folders[key.first] + "/" + emul::utf8(file.spelling);
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 ||
                write(fd, file.content.data(), file.content.size()) != ssize_t(file.content.size()))
                Fail("a file of the tree could not be written");
            close(fd);
        }
        tree = std::move(next);
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
