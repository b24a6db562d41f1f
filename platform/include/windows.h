// Windows CE SDK surface for the emulated handheld: types, constants and the coredll calls.
// Text is UTF-16 throughout (WCHAR is 16 bits, TEXT("") makes u"" literals).
#ifndef CE_WINDOWS_H
#define CE_WINDOWS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CEAPI extern "C" __attribute__((visibility("default")))
#define CEEXPORT extern "C" __attribute__((visibility("default")))

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef WCHAR TCHAR;
typedef BYTE *PBYTE, *LPBYTE;
typedef DWORD *PDWORD, *LPDWORD;
typedef WORD *LPWORD;
typedef LONG *PLONG;
typedef BOOL *LPBOOL;
typedef void *LPVOID, *PVOID;
typedef const void *LPCVOID;
typedef WCHAR *LPWSTR, *PWSTR, *LPTSTR;
typedef const WCHAR *LPCWSTR, *PCWSTR, *LPCTSTR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef uintptr_t DWORD_PTR, ULONG_PTR, UINT_PTR, WPARAM;
typedef intptr_t LONG_PTR, INT_PTR, LPARAM, LRESULT;
typedef uint64_t ULONGLONG;
typedef ULONG_PTR SIZE_T;

typedef void *HANDLE;
typedef HANDLE *PHANDLE, *LPHANDLE;
typedef HANDLE HLOCAL, HGLOBAL, HINSTANCE, HMODULE, HICON, HBRUSH, HFONT, HDC, HMENU, HBITMAP,
    HCURSOR, HGDIOBJ, HRGN, HPEN;
struct HWND__ {
    int unused;
};
typedef HWND__ *HWND;
struct HKEY__ {
    int unused;
};
typedef HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef DWORD COLORREF;
typedef WORD ATOM;
typedef LONG HRESULT;
typedef DWORD ACCESS_MASK, REGSAM;

#define TRUE 1
#define FALSE 0
#ifndef NULL
#define NULL 0
#endif
#define CONST const
#define VOID void
#define IN
#define OUT
#define OPTIONAL
#define UNREFERENCED_PARAMETER(p) (void)(p)

#define __TEXT(q) u##q
#define TEXT(q) __TEXT(q)
#define _T(q) __TEXT(q)

#define MAKEWORD(a, b) ((WORD)(((BYTE)(a)) | ((WORD)((BYTE)(b))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#define LOWORD(l) ((WORD)((DWORD_PTR)(l)&0xffff))
#define HIWORD(l) ((WORD)(((DWORD_PTR)(l) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)((w)&0xff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFF
#define MAXDWORD 0xFFFFFFFF
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct tagRECT {
    LONG left, top, right, bottom;
} RECT, *LPRECT;
typedef const RECT *LPCRECT;
typedef struct tagPOINT {
    LONG x, y;
} POINT, *LPPOINT;
typedef struct _FILETIME {
    DWORD dwLowDateTime, dwHighDateTime;
} FILETIME, *LPFILETIME;
typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

/* ---- error codes ---- */
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_ACCESS 12L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_DEV_NOT_EXIST 55L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_OPEN_FAILED 110L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define WAIT_TIMEOUT 258L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_ASSOCIATION 1155L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L
#define ERROR_DLL_INIT_FAILED 1114L
#define ERROR_NOT_FOUND 1168L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_TIMEOUT 1460L
#define ERROR_DEVICE_IN_USE 2404L

/* ---- kernel: errors, memory, threads, events, time ---- */
CEAPI DWORD GetLastError(void);
CEAPI void SetLastError(DWORD dwErrCode);

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
CEAPI HLOCAL LocalAlloc(UINT uFlags, UINT uBytes);
CEAPI HLOCAL LocalFree(HLOCAL hMem);

typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
#define CREATE_SUSPENDED 0x00000004
#define STILL_ACTIVE 259
CEAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpsa, DWORD cbStack,
                          LPTHREAD_START_ROUTINE lpStartAddr, LPVOID lpvThreadParam,
                          DWORD fdwCreate, LPDWORD lpIDThread);
CEAPI BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);
CEAPI void ExitThread(DWORD dwExitCode);
CEAPI BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
CEAPI DWORD ResumeThread(HANDLE hThread);
CEAPI HANDLE GetCurrentThread(void);
CEAPI DWORD GetCurrentThreadId(void);
CEAPI BOOL CloseHandle(HANDLE hObject);

#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
CEAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                          BOOL bInitialState, LPCWSTR lpName);
CEAPI BOOL EventModify(HANDLE hEvent, DWORD func);
// The CE headers make these inline wrappers over EventModify.
inline BOOL SetEvent(HANDLE h) {
    return EventModify(h, EVENT_SET);
}
inline BOOL ResetEvent(HANDLE h) {
    return EventModify(h, EVENT_RESET);
}
inline BOOL PulseEvent(HANDLE h) {
    return EventModify(h, EVENT_PULSE);
}
#define CreateEvent CreateEventW

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_FAILED 0xFFFFFFFFL
CEAPI DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
CEAPI DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL fWaitAll,
                                   DWORD dwMilliseconds);
CEAPI void Sleep(DWORD dwMilliseconds);
CEAPI DWORD GetTickCount(void);
CEAPI void GetLocalTime(LPSYSTEMTIME lpSystemTime);
CEAPI void GetSystemTime(LPSYSTEMTIME lpSystemTime);

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define DLL_PROCESS_EXITING 4
#define DLL_SYSTEM_STARTED 5
#define DLL_MEMORY_LOW 6
CEAPI BOOL DisableThreadLibraryCalls(HMODULE hLibModule);
CEAPI HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
CEAPI BOOL FreeLibrary(HMODULE hLibModule);
CEAPI void *GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
CEAPI HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
CEAPI DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *LPOSVERSIONINFOW, OSVERSIONINFO, *LPOSVERSIONINFO;
#define VER_PLATFORM_WIN32_CE 3
CEAPI BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
#define GetVersionEx GetVersionExW

CEAPI void OutputDebugStringW(LPCWSTR lpOutputString);
CEAPI int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);
#define wsprintf wsprintfW

// Run-time wide-string functions on 16-bit characters.
size_t wcslen(const WCHAR *s) __attribute__((visibility("default")));
int wcscmp(const WCHAR *a, const WCHAR *b) __attribute__((visibility("default")));
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n) __attribute__((visibility("default")));
int _wcsicmp(const WCHAR *a, const WCHAR *b) __attribute__((visibility("default")));
WCHAR *wcscpy(WCHAR *d, const WCHAR *s) __attribute__((visibility("default")));
WCHAR *wcsncpy(WCHAR *d, const WCHAR *s, size_t n) __attribute__((visibility("default")));
WCHAR *wcscat(WCHAR *d, const WCHAR *s) __attribute__((visibility("default")));
WCHAR *wcsrchr(const WCHAR *s, WCHAR c) __attribute__((visibility("default")));
WCHAR *wcschr(const WCHAR *s, WCHAR c) __attribute__((visibility("default")));
WCHAR *wcsstr(const WCHAR *s, const WCHAR *sub) __attribute__((visibility("default")));

/* ---- files ---- */
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_INROM 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
typedef struct _OVERLAPPED {
    ULONG_PTR Internal, InternalHigh;
    DWORD Offset, OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;
typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *LPWIN32_FIND_DATAW, WIN32_FIND_DATA, *LPWIN32_FIND_DATA;
CEAPI HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                         LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                         DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
CEAPI BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                    LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
CEAPI BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                     LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
CEAPI DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                           DWORD dwMoveMethod);
CEAPI BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                           LPVOID lpOutBuf, DWORD nOutBufSize, LPDWORD lpBytesReturned,
                           LPOVERLAPPED lpOverlapped);
CEAPI DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
CEAPI BOOL DeleteFileW(LPCWSTR lpFileName);
CEAPI BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
CEAPI BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
CEAPI DWORD GetFileAttributesW(LPCWSTR lpFileName);
CEAPI HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
CEAPI BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
CEAPI BOOL FindClose(HANDLE hFindFile);
#define CreateFile CreateFileW
#define DeleteFile DeleteFileW

/* ---- serial ports ---- */
typedef struct _COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;

typedef struct _DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
} DCB, *LPDCB;

typedef struct _COMMPROP {
    WORD wPacketLength;
    WORD wPacketVersion;
    DWORD dwServiceMask;
    DWORD dwReserved1;
    DWORD dwMaxTxQueue;
    DWORD dwMaxRxQueue;
    DWORD dwMaxBaud;
    DWORD dwProvSubType;
    DWORD dwProvCapabilities;
    DWORD dwSettableParams;
    DWORD dwSettableBaud;
    WORD wSettableData;
    WORD wSettableStopParity;
    DWORD dwCurrentTxQueue;
    DWORD dwCurrentRxQueue;
    DWORD dwProvSpec1;
    DWORD dwProvSpec2;
    WCHAR wcProvChar[1];
} COMMPROP, *LPCOMMPROP;

typedef struct _COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
} COMSTAT, *LPCOMSTAT;

#define CBR_9600 9600
#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2
#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03
#define BAUD_075 0x00000001
#define BAUD_110 0x00000002
#define BAUD_1200 0x00000040
#define BAUD_2400 0x00000100
#define BAUD_4800 0x00000200
#define BAUD_9600 0x00000800
#define BAUD_19200 0x00002000
#define BAUD_38400 0x00004000
#define BAUD_57600 0x00040000
#define BAUD_115200 0x00020000
#define SP_SERIALCOMM 0x00000001
#define PST_RS232 0x00000001
#define EV_RXCHAR 0x0001
#define EV_RXFLAG 0x0002
#define EV_TXEMPTY 0x0004
#define EV_CTS 0x0008
#define EV_DSR 0x0010
#define EV_RLSD 0x0020
#define EV_BREAK 0x0040
#define EV_ERR 0x0080
#define EV_RING 0x0100
#define PURGE_TXABORT 0x0001
#define PURGE_RXABORT 0x0002
#define PURGE_TXCLEAR 0x0004
#define PURGE_RXCLEAR 0x0008
#define SETXOFF 1
#define SETXON 2
#define SETRTS 3
#define CLRRTS 4
#define SETDTR 5
#define CLRDTR 6
#define SETBREAK 8
#define CLRBREAK 9
#define SETIR 10
#define CLRIR 11
#define CE_RXOVER 0x0001
#define CE_OVERRUN 0x0002
#define CE_RXPARITY 0x0004
#define CE_FRAME 0x0008
#define CE_BREAK 0x0010
#define MS_CTS_ON 0x0010
#define MS_DSR_ON 0x0020
#define MS_RING_ON 0x0040
#define MS_RLSD_ON 0x0080
CEAPI BOOL GetCommProperties(HANDLE hFile, LPCOMMPROP lpCommProp);
CEAPI BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
CEAPI BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
CEAPI BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
CEAPI BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
CEAPI BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
CEAPI BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
CEAPI BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
CEAPI BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
CEAPI BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc);
CEAPI BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);
CEAPI BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);

/* ---- registry ---- */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003)
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_OPTION_NON_VOLATILE 0
#define REG_OPTION_VOLATILE 1
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
#define KEY_ALL_ACCESS 0xF003F
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
CEAPI LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                         PHKEY phkResult);
CEAPI LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                           DWORD dwOptions, REGSAM samDesired,
                           LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                           LPDWORD lpdwDisposition);
CEAPI LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                            LPBYTE lpData, LPDWORD lpcbData);
CEAPI LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                          const BYTE *lpData, DWORD cbData);
CEAPI LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
CEAPI LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
CEAPI LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                         LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                         LPFILETIME lpftLastWriteTime);
CEAPI LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                         LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
CEAPI LONG RegCloseKey(HKEY hKey);
CEAPI LONG RegFlushKey(HKEY hKey);
#define RegOpenKeyEx RegOpenKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx RegSetValueExW
#define RegDeleteKey RegDeleteKeyW
#define RegCreateKeyEx RegCreateKeyExW

/* ---- Device Manager ---- */
CEAPI HANDLE ActivateDevice(LPCWSTR lpszDevKey, DWORD dwClientInfo);
CEAPI HANDLE ActivateDeviceEx(LPCWSTR lpszDevKey, LPCVOID lpRegEnts, DWORD cRegEnts,
                              LPVOID lpvParam);
CEAPI BOOL DeactivateDevice(HANDLE hDevice);
CEAPI BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf,
                           DWORD nOutBufSize, LPDWORD lpBytesReturned);
#define CTL_CODE(DeviceType, Function, Method, Access)                                             \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define FILE_DEVICE_HAL 0x00000101
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define IOCTL_HAL_REBOOT CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS)

/* ---- processes ---- */
typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;
typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;
typedef STARTUPINFOW STARTUPINFO;
typedef LPSTARTUPINFOW LPSTARTUPINFO;
CEAPI BOOL CreateProcessW(LPCWSTR pszImageName, LPCWSTR pszCmdLine,
                          LPSECURITY_ATTRIBUTES psaProcess, LPSECURITY_ATTRIBUTES psaThread,
                          BOOL fInheritHandles, DWORD fdwCreate, LPVOID pvEnvironment,
                          LPWSTR pszCurDir, LPSTARTUPINFOW psiStartInfo,
                          LPPROCESS_INFORMATION pProcInfo);
CEAPI BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

#include "winuser_ce.h"
#include "wingdi_ce.h"

#endif
