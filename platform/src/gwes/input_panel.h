// The soft input panel: one record of it for SipGetInfo and the shell's SHSipInfo alike.
#pragma once

#include <sipapi.h>

namespace emul {

// Programs fill cbSize with the device's 48 or with the record's size on this host.
bool inputPanelInfoSizeOk(const SIPINFO *si);
// The panel as it stands: docked above the menu bar, the desktop above the panel while it is
// up. Leaves cbSize alone.
void inputPanelInfo(SIPINFO *si);
bool inputPanelShown();

} // namespace emul
