// Registry names shared by the driver, the settings program and the loader.
#ifndef NORVEL_REG_H
#define NORVEL_REG_H

#include <windows.h>

// The driver key under HKEY_LOCAL_MACHINE, as the programs write it.
#define NORVEL_DRIVER_KEY TEXT("Drivers\\BuiltIn\\Norvel")
// The same key as the CE 4.20 driver opens it (key names ignore case).
#define NORVEL_DRIVER_KEY_DRV TEXT("Drivers\\builtin\\norvel")

#define NORVEL_ENABLE_KEYBOARD TEXT("Enable Keyboard")
#define NORVEL_REPEAT_RATE TEXT("Repeat Rate")
#define NORVEL_DELAY_TIME TEXT("Delay Time")
#define NORVEL_ENABLE_RESTART TEXT("Enable Restart")
#define NORVEL_ACTIVE_KEY TEXT("Active Key")
#define NORVEL_MY_CONFIG TEXT("My Config")
#define NORVEL_INIT TEXT("init")
#define NORVEL_FN_FORMAT TEXT("Fn-%d")
#define NORVEL_PORT_NAME TEXT("PortName")
#define NORVEL_OPEN_FILE TEXT("OpenFile")
#define NORVEL_IRDA TEXT("IrDA")

// Values of the Device Manager's active key.
#define DM_ACTIVE_HND TEXT("Hnd")
#define DM_ACTIVE_KEY TEXT("Key")

// Installed files.
#define NORVEL_DRIVER_FILE TEXT("\\Windows\\Lumakey.DLL")
#define NORVEL_HELP_FILE TEXT("\\Windows\\Lumakey.htm")

#endif
