// Build settings: Windows CE 4.20 (the baseline build).
#define IRK_BUILD 420
