#include "app/frmMainSql.h"

#include <QAction>
#include <functional>

#include "app/DictionarySql.h"
#include "app/basLogout.h"
#include "app/frmMain.h"
#include "platform/Platform.h"

namespace {

// The prompts carry the main window's object name as their title.
const QString kPromptTitle = QStringLiteral("frmMain");

void RunTableQuery(QString (*build)(const QString&)) {
  const QString table = AskTableName();
  if (table.isEmpty()) return;
  mSb_RunDictionarySQL(build(table));
}

}  // namespace

QString AskTableName() {
  const QString answer =
      platform::InputBox(QStringLiteral("テーブル名を入力して下さい"), kPromptTitle, QString());
  return answer.trimmed().isEmpty() ? QString() : answer;
}

QString AskLogRange() {
  const QString now = platform::Now().toString(QStringLiteral("yyyy-MM-dd/HH:mm:ss"));
  const QString start = platform::InputBox(
      QStringLiteral("範囲日付の開始日を入力して下さい\r\n書式：1999-08-22/17:55:04"), kPromptTitle,
      now);
  const QString end = platform::InputBox(
      QStringLiteral("範囲日付の終了日を入力して下さい\r\n書式：1999-08-22/17:55:04"), kPromptTitle,
      now);
  return dictsql::LogRangeCondition(start, end);
}

void ConnectSqlMenu(frmMain* main) {
  const auto connect = [main](const QString& item, const std::function<void()>& command) {
    if (QAction* action = main->menuItem(item))
      QObject::connect(action, &QAction::triggered, main, command);
  };
  connect(QStringLiteral("mnuSqlAccess"),
          [] { mSb_RunDictionarySQL(dictsql::ConnectedUsersSql()); });
  connect(QStringLiteral("mnuSqlAccessEx"),
          [] { mSb_RunDictionarySQL(dictsql::ConnectedUsersExSql()); });
  connect(QStringLiteral("mnuSqlTableFields"), [] { RunTableQuery(dictsql::TableFieldsSql); });
  connect(QStringLiteral("mnuSqlTableIndex"), [] { RunTableQuery(dictsql::TableIndexSql); });
  connect(QStringLiteral("mnuSqlLog"),
          [] { mSb_RunDictionarySQL(dictsql::SqlLogSql(AskLogRange())); });
  connect(QStringLiteral("mnuSqlLogAccess"),
          [] { mSb_RunDictionarySQL(dictsql::SqlLogLoadSql(AskLogRange())); });
  for (const QString& item : dictsql::FixedQueryItems()) {
    const QString sql = dictsql::FixedQuerySql(item);
    connect(item, [sql] { mSb_RunDictionarySQL(sql); });
  }
}
