#include "session/Logon.h"

// Replaced by the logon dialog; until then no logon can be made.
void mSb_ShowLogonDialog(QWidget*) {}
void mSb_SessionLogonCommand() {}
void mSb_SessionLogoutCommand() {}
