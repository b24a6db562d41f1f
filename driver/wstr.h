// Counting, comparing and copying wide strings: the CE 3.00 build calls the run-time functions,
// the newer builds do it in line, with the same results.
#ifndef IRK_WSTR_H
#define IRK_WSTR_H

#include <windows.h>

static inline DWORD IrkStrLen(const WCHAR *s) {
#if IRK_BUILD == 300
    return (DWORD)wcslen(s);
#else
    DWORD n = 0;
    while (s[n])
        ++n;
    return n;
#endif
}

static inline int IrkStrCmp(const WCHAR *a, const WCHAR *b) {
#if IRK_BUILD == 300
    return wcscmp(a, b);
#else
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return (int)*a - (int)*b;
#endif
}

static inline void IrkStrCpy(WCHAR *d, const WCHAR *s) {
#if IRK_BUILD == 300
    wcscpy(d, s);
#else
    while ((*d++ = *s++) != 0) {
    }
#endif
}

#endif
