// The key table of the CE 4.20 driver build.
#include "../../driver/builds/ce420.h"
#define KEYTABLE_FUNCTION driverKeyTableCe420
#include "keytable_copy.inc"
