#pragma once
// "SQL履歴": a browser over the statements of the SQL history files. It lists them newest first
// (time stamp and first line), narrows the list to the statements holding the text typed in the
// filter box, shows the whole statement picked, and hands it back on OK.
#include <QDialog>

#include "support/SqlHistory.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class frmHistory : public QDialog {
  Q_OBJECT
 public:
  explicit frmHistory(QList<SqlHistoryEntry> entries, QWidget* parent = nullptr);
  // The statement picked (empty when none is).
  QString chosenSql() const;

  QLineEdit* txtFilter = nullptr;
  QListWidget* lstHistory = nullptr;
  QPlainTextEdit* txtStatement = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 private:
  void applyFilter(const QString& text);
  void showCurrent();

  QList<SqlHistoryEntry> entries_;
};

// The File menu's "SQL履歴...": opens the browser over the program folder's history files and
// puts the statement chosen into the active console's SQL box.
void ShowSqlHistory();
