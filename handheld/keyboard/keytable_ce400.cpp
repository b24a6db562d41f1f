// The key table of the CE 4.00 driver build.
#include "../../driver/builds/ce400.h"
#define KEYTABLE_FUNCTION driverKeyTableCe400
#include "keytable_copy.inc"
