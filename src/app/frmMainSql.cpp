#include "app/frmMainSql.h"

// Replaced by the dictionary commands; until then the items do nothing.
void mSb_ConnectSqlMenu(frmMain*) {}
