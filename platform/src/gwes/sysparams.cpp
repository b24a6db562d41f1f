// System parameters of the window system: the work area and the input panel's information.
#include "gwes/win_internal.h"

#include <aygshell.h>

using namespace emul;

CEAPI BOOL SystemParametersInfoW(UINT action, UINT param, PVOID pv, UINT winIni) {
    if (action == SPI_GETSIPINFO || action == SPI_SETSIPINFO)
        return SHSipInfo(action, param, pv, winIni);
    if (action == SPI_GETWORKAREA && pv) {
        *static_cast<RECT *>(pv) = RECT{0, kTaskBarHeight, kScreenWidth, kScreenHeight};
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
