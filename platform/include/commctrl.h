// Common controls of the CE SDK.
#ifndef CE_COMMCTRL_H
#define CE_COMMCTRL_H
#include <windows.h>

#endif
