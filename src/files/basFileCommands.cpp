#include "files/basFileCommands.h"

// Replaced by the file and help commands; until then the items do nothing.
void mSb_SqlFileOpenCommand() {}
void mSb_LogFileOpenCommand() {}
void mSb_ImportCommand() {}
void mSb_ExportCommand() {}
void mSb_HelpContentsCommand() {}
void mSb_HelpSearchCommand() {}
void mSb_AboutCommand() {}
