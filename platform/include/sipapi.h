// Soft input panel calls of the CE SDK.
#ifndef CE_SIPAPI_H
#define CE_SIPAPI_H
#include <windows.h>

#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004

typedef struct tagSIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void *pvImData;
} SIPINFO, *PSIPINFO;

CEAPI BOOL SipGetInfo(SIPINFO *pSipInfo);
CEAPI BOOL SipSetInfo(SIPINFO *pSipInfo);
CEAPI BOOL SipShowIM(DWORD dwFlag);

#endif
