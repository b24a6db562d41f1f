// CE file calls: CreateFileW routes COM names to the serial ports, other "XXXn:" names to
// stream drivers of the Device Manager, and everything else to the device's file system.
#include <windows.h>

#include "emul/devmgr.h"
#include "emul/fileobj.h"
#include "emul/files.h"
#include "emul/serial.h"
#include "emul/text.h"
#include "host/host_files.h"
#include "kernel/user_pointers.h"

#include <cstdio>
#include <cstring>

using namespace emul;

namespace {

struct PlainFile : FileObject {
    std::string path;
    std::string data;
    size_t pos = 0;
    bool writable = false, dirty = false;
    const char *kind() const override { return "file"; }
    bool read(void *buf, uint32_t n, uint32_t *got, uint32_t *) override {
        size_t k = pos >= data.size() ? 0 : std::min<size_t>(n, data.size() - pos);
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        *got = uint32_t(k);
        return true;
    }
    bool write(const void *buf, uint32_t n, uint32_t *put, uint32_t *error) override {
        if (!writable) {
            *put = 0;
            *error = ERROR_ACCESS_DENIED;
            return false;
        }
        if (data.size() < pos + n)
            data.resize(pos + n);
        std::memcpy(&data[pos], buf, n);
        pos += n;
        *put = n;
        dirty = true;
        return true;
    }
    uint32_t seek(int32_t d, uint32_t method, uint32_t *error) override {
        int64_t base = method == FILE_BEGIN     ? 0
                       : method == FILE_CURRENT ? int64_t(pos)
                                                : int64_t(data.size());
        if (base + d < 0) {
            *error = ERROR_INVALID_PARAMETER;
            return 0xFFFFFFFF;
        }
        pos = size_t(base + d);
        return uint32_t(pos);
    }
    int64_t size() const override { return int64_t(data.size()); }
    void onClose() override {
        if (dirty)
            hostfs::writeWhole(path, data);
    }
};

bool isDeviceName(const std::u16string &n) {
    auto alpha = [](char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); };
    return n.size() == 5 && alpha(n[0]) && alpha(n[1]) && alpha(n[2]) && n[3] >= u'0' &&
           n[3] <= u'9' && n[4] == u':';
}

std::shared_ptr<FileObject> openPlain(const std::u16string &name, DWORD access, DWORD disposition,
                                      uint32_t *error) {
    std::string host = dev().files().resolve(name, error);
    if (host.empty())
        return nullptr;
    bool exists = hostfs::exists(host);
    if (exists && hostfs::isFolder(host)) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (exists && FileSystem::readOnly(host) && ((access & GENERIC_WRITE) || truncate)) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (!exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
        *error = hostfs::parentExists(host) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    if (exists && disposition == CREATE_NEW) {
        *error = ERROR_FILE_EXISTS;
        return nullptr;
    }
    auto f = std::make_shared<PlainFile>();
    f->path = host;
    f->writable = (access & GENERIC_WRITE) != 0;
    if (exists && !truncate)
        hostfs::readWhole(host, &f->data);
    if (!exists || truncate) {
        if (!hostfs::parentExists(host)) {
            *error = ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        hostfs::writeWhole(host, "");
    }
    return f;
}

} // namespace

namespace emul {
// Shared by CreateFileW and the host-side clients (which are not journaled).
std::shared_ptr<FileObject> openFileObject(const std::u16string &name, uint32_t access,
                                           uint32_t share, uint32_t disposition, uint32_t *error) {
    if (isDeviceName(name)) {
        if (equalsNoCase(name.substr(0, 3), u"COM"))
            return dev().serial().open(name, access, share, error);
        return dev().devices().openStream(name, access, share, error);
    }
    return openPlain(name, access, disposition, error);
}
} // namespace emul

CEAPI HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                         DWORD disposition, DWORD, HANDLE) {
    Device &d = dev();
    if (reservedPointer(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    uint32_t error = 0;
    std::shared_ptr<FileObject> f;
    if (!name || !*name)
        error = ERROR_PATH_NOT_FOUND;
    else
        f = openFileObject(name, access, share, disposition, &error);
    HANDLE h = INVALID_HANDLE_VALUE;
    if (f) {
        f->journalName = utf8(name);
        h = d.handles().add(f);
        error = 0;
    }
    d.journal().call("CreateFileW", Fields()
                                        .str("name", name)
                                        .num("access", access)
                                        .boolean("result", f != nullptr)
                                        .num("error", error));
    if (!f)
        SetLastError(error);
    return h;
}

CEAPI EMUL_IDLE_PATH BOOL ReadFile(HANDLE h, LPVOID buf, DWORD n, LPDWORD got, LPOVERLAPPED) {
    if (anyReservedPointer(buf, got)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto f = dev().handles().getAs<FileObject>(h);
    DWORD dummy;
    if (!got)
        got = &dummy;
    *got = 0;
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    uint32_t error = 0, k = 0;
    bool ok = f->read(buf, n, &k, &error);
    *got = k;
    if (!ok)
        SetLastError(error);
    return ok;
}

CEAPI BOOL WriteFile(HANDLE h, LPCVOID buf, DWORD n, LPDWORD put, LPOVERLAPPED) {
    if (anyReservedPointer(buf, put)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto f = dev().handles().getAs<FileObject>(h);
    DWORD dummy;
    if (!put)
        put = &dummy;
    *put = 0;
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    uint32_t error = 0, k = 0;
    bool ok = f->write(buf, n, &k, &error);
    *put = k;
    if (!ok)
        SetLastError(error);
    return ok;
}

CEAPI DWORD SetFilePointer(HANDLE h, LONG d, PLONG, DWORD method) {
    auto f = dev().handles().getAs<FileObject>(h);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    uint32_t error = 0;
    DWORD r = f->seek(d, method, &error);
    if (error)
        SetLastError(error);
    return r;
}

CEAPI BOOL DeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD nin, LPVOID out, DWORD nout,
                           LPDWORD ret, LPOVERLAPPED) {
    if (anyReservedPointer(in, out, ret)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto f = dev().handles().getAs<FileObject>(h);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    uint32_t error = 0, k = 0;
    bool ok = f->ioctl(code, in, nin, out, nout, &k, &error);
    if (ret)
        *ret = k;
    if (!ok)
        SetLastError(error);
    return ok;
}

CEAPI DWORD GetFileSize(HANDLE h, LPDWORD high) {
    if (reservedPointer(high)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0xFFFFFFFF;
    }
    auto f = dev().handles().getAs<FileObject>(h);
    if (!f || f->size() < 0) {
        SetLastError(f ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    if (high)
        *high = 0;
    return DWORD(f->size());
}

CEAPI BOOL DeleteFileW(LPCWSTR name) {
    if (reservedPointer(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Device &d = dev();
    d.journal().call("DeleteFileW", Fields().str("path", name));
    std::string host = d.files().hostPath(name ? name : u"");
    if (!name || host.empty() || !hostfs::isRegularFile(host)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (FileSystem::readOnly(host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    hostfs::removeFile(host);
    return TRUE;
}

CEAPI DWORD GetFileAttributesW(LPCWSTR name) {
    if (reservedPointer(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0xFFFFFFFF;
    }
    std::string host = dev().files().hostPath(name ? name : u"");
    if (!name || host.empty() || !hostfs::exists(host)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0xFFFFFFFF;
    }
    if (hostfs::isFolder(host))
        return FILE_ATTRIBUTE_DIRECTORY;
    return FileSystem::readOnly(host) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}

CEAPI BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES) {
    if (reservedPointer(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint32_t error = ERROR_PATH_NOT_FOUND;
    std::string host = name ? dev().files().resolve(name, &error) : std::string();
    if (host.empty()) {
        SetLastError(error);
        return FALSE;
    }
    if (hostfs::exists(host)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!hostfs::createFolder(host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
