// Ids of the image test module's resources.
#define IDI_MASKED 103
#define IDB_TEST 300
#define IDB_SHORT 310
#define IDI_BADGROUP 311
#define IDI_ODDGROUP 312
#define IDI_ODDIMAGE 313
