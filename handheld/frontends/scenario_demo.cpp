// The demonstration that `handheld` plays without arguments.
#include "scenario/scenario.h"

namespace handheld {

// Bytes on the wire are the key codes inverted: Shift is code 88 (sent A7, released 27).
const char *const kDemoScenario =
    R"(# The keyboard connects, the user starts Notes and types "Hello, World!".
boot
wait 100
rx 05 02     # the keyboard's link handshake
wait 40
run notes
rx A7        # Shift down
wait 40
rx E9        # H
wait 40
rx 69
wait 40
rx 27        # Shift up
wait 40
rx F4        # e
wait 40
rx 74
wait 40
rx B9        # l
wait 40
rx 39
wait 40
rx B9        # l
wait 40
rx 39
wait 40
rx A1        # o
wait 40
rx 21
wait 40
rx B2        # ,
wait 40
rx 32
wait 40
rx E8        # Space
wait 40
rx 68
wait 40
rx A7        # Shift down
wait 40
rx F5        # W
wait 40
rx 75
wait 40
rx 27        # Shift up
wait 40
rx A1        # o
wait 40
rx 21
wait 40
rx F3        # r
wait 40
rx 73
wait 40
rx B9        # l
wait 40
rx 39
wait 40
rx EC        # d
wait 40
rx 6C
wait 40
rx A7        # Shift down
wait 40
rx A2        # 1, with Shift: !
wait 40
rx 22
wait 40
rx 27        # Shift up
wait 40
show 100
)";

} // namespace handheld
