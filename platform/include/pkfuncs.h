// Kernel and Device Manager calls that the CE SDK keeps in pkfuncs.h.
#ifndef CE_PKFUNCS_H
#define CE_PKFUNCS_H
#include <windows.h>
#endif
