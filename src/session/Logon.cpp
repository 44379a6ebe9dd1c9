#include "session/Logon.h"

// Replaced by the logon dialog; until then no logon can be made.
void mSb_ShowLogonDialog(QWidget*) {}
