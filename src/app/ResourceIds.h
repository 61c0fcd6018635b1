#pragma once
// Resource ids shared by the resource script and the code.
#define IDI_SNAPKEEP 1
#define IDB_PRODUCT 101
#define IDB_MENU_RESTORE 102
#define IDB_MENU_CLOSE 103
