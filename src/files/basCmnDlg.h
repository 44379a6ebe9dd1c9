#pragma once
// The open and save file dialogs. A filter is the platform's NUL-separated list of pairs:
// display text, NUL, pattern(s) separated by ";", NUL, and so on.
#include <QString>
#include <QStringList>

class QWidget;

// Shows the open dialog, modal to the owner. Returns the chosen file's full path, or the empty
// text when the user cancelled or the dialog failed. An empty filter offers every file.
QString mFn_ShowOpenDialog(QWidget* owner, QString title, QString initialFolder, QString filter);
// The same with the save dialog. It too accepts only files that exist already.
QString mFn_ShowSaveDialog(QWidget* owner, QString title, QString initialFolder, QString filter);

// The pairs of a NUL-separated filter as description, pattern, description, pattern …; an empty
// filter, or one without a complete pair, gives the single entry for every file.
QStringList ParseFilter(const QString& filter);
