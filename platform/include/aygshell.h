// Pocket PC shell helpers of the CE SDK (menu bar, input panel, dialogs).
#ifndef CE_AYGSHELL_H
#define CE_AYGSHELL_H
#include <shellapi.h>
#include <sipapi.h>
#include <windows.h>

#endif
