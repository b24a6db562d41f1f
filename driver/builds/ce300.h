// Build settings: Windows CE 3.00.
#define IRK_BUILD 300
