// Build settings: Windows CE 4.00.
#define IRK_BUILD 400
