// Ids of the test module's resources.
#define IDI_TEST 102
#define IDD_PAGE 129
#define IDD_ABOUT 131
#define IDD_MODAL 140
#define IDC_EDIT 1008
#define IDC_CHECK 1005
#define IDC_RATE 1000
#define IDC_LABEL 1003
#define IDC_COMBO 1009
#define IDC_HELP 9
#define IDC_ICON 1020
#define IDS_HELLO 200
#define IDS_EMPTY 201
#define IDS_OTHER 217
