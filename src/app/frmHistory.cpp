#include "app/frmHistory.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/basMain.h"
#include "app/frmMain.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "platform/Platform.h"

frmHistory::frmHistory(QList<SqlHistoryEntry> entries, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(QStringLiteral("SQL履歴"));
  txtFilter = new QLineEdit(this);
  txtFilter->setObjectName(QStringLiteral("txtFilter"));
  txtFilter->setPlaceholderText(QStringLiteral("絞り込み"));
  txtFilter->setClearButtonEnabled(true);
  lstHistory = new QListWidget(this);
  lstHistory->setObjectName(QStringLiteral("lstHistory"));
  txtStatement = new QPlainTextEdit(this);
  txtStatement->setObjectName(QStringLiteral("txtStatement"));
  txtStatement->setReadOnly(true);
  txtStatement->setLineWrapMode(QPlainTextEdit::NoWrap);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

  for (const SqlHistoryEntry& e : std::as_const(entries_)) {
    lstHistory->addItem(platform::DateTimeText(e.start) + QStringLiteral("  ") +
                        e.sql.section(QLatin1Char('\n'), 0, 0));
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtFilter);
  layout->addWidget(lstHistory, 3);
  layout->addWidget(txtStatement, 2);
  layout->addLayout(buttons);
  resize(720, 520);

  connect(txtFilter, &QLineEdit::textChanged, this, &frmHistory::applyFilter);
  connect(lstHistory, &QListWidget::currentRowChanged, this, &frmHistory::showCurrent);
  connect(lstHistory, &QListWidget::itemActivated, this, &QDialog::accept);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  cmdOK->setDefault(true);
  lstHistory->setCurrentRow(0);
  showCurrent();
}

QString frmHistory::chosenSql() const {
  const int row = lstHistory->currentRow();
  if (row < 0 || lstHistory->item(row)->isHidden()) return QString();
  return entries_[row].sql;
}

void frmHistory::applyFilter(const QString& text) {
  int firstShown = -1;
  for (int i = 0; i < lstHistory->count(); ++i) {
    const bool shown = entries_[i].sql.contains(text, Qt::CaseInsensitive);
    lstHistory->item(i)->setHidden(!shown);
    if (shown && firstShown < 0) firstShown = i;
  }
  // The current entry stays when it still shows; else the newest one that does.
  const int row = lstHistory->currentRow();
  if (row < 0 || lstHistory->item(row)->isHidden()) lstHistory->setCurrentRow(firstShown);
  showCurrent();
}

void frmHistory::showCurrent() {
  const QString sql = chosenSql();
  txtStatement->setPlainText(sql);
  cmdOK->setEnabled(!sql.isEmpty());
}

void ShowSqlHistory() {
  // The console active when the command was given; held weakly, as it could be closed while
  // the browser is up.
  QPointer<frmQuerna> console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr;
  frmHistory dlg(ReadSqlHistory(platform::ProgramFolder()), gfrmMain);
  if (dlg.exec() != QDialog::Accepted || !console || dlg.chosenSql().isEmpty()) return;
  console->PutSql(dlg.chosenSql());
}
