// The key table of the CE 3.00 driver build.
#include "../../driver/builds/ce300.h"
#define KEYTABLE_FUNCTION driverKeyTableCe300
#include "keytable_copy.inc"
