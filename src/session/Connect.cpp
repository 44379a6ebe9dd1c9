#include "session/Connect.h"

#include <optional>

#include "core/RunErr.h"
#include "oracle/OraFactory.h"
#include "platform/Platform.h"
#include "session/SessionData.h"

int mFn_FindInList(const QStringList& list, const QString& text) {
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (list[i] == text) return static_cast<int>(i);
  }
  return -1;
}

void mSb_ShowLogonHint(int errorNumber) {
  QString hint;
  switch (errorNumber) {
    case 6413:
      hint = QStringLiteral(
          "ﾌｫﾙﾀﾞ名,ﾕｰｻﾞｰID,ﾊﾟｽﾜｰﾄﾞ,ﾎｽﾄ文字列で括弧'()'が使われていないかﾁｪｯｸして下さい");
      break;
    case 12224:
      hint = QStringLiteral("OracleTnsListenerｻｰﾋﾞｽが停止されているようです。");
      break;
    case 12500:
      hint = QStringLiteral("OracleServiceORCLｻｰﾋﾞｽが停止されているようです。");
      break;
    default:
      return;
  }
  platform::MsgBox(hint, platform::vbInformation);
}

QString AppendToHistory(const QString& history, const QString& text) {
  QString joined = history + QLatin1Char(',') + text;
  if (joined.startsWith(QLatin1Char(','))) joined.remove(0, 1);
  return joined;
}

namespace {

// Tells the user why the logon of the record failed, then makes the record blank again. The
// references are only released: a database that never opened has nothing to close.
void ReportFailedLogon(std::size_t index) {
  const std::shared_ptr<ora::OraSession> session = gSessionData[index].OraSession;
  const int serverErr = session ? session->LastServerErr() : 0;
  if (serverErr != 0) {
    platform::MsgBox(session->LastServerErrText(), platform::vbCritical);
    mSb_ShowLogonHint(serverErr);
  } else if (ora::Err().pending()) {
    platform::MsgBox(QStringLiteral("エラー番号：") + QString::number(ora::Err().Number) +
                         QStringLiteral("\r\nメッセージ：") + ora::Err().Description,
                     platform::vbCritical);
  }
  // The message boxes let events through; look the record up again.
  if (index < gSessionData.size()) gSessionData[index] = SessionData{};
  ora::ErrClear();
}

}  // namespace

bool ConnectSession(const QString& user, const QString& pass, const QString& host) {
  ora::ErrClear();
  std::optional<platform::Hourglass> hourglass(std::in_place);
  const auto index = static_cast<std::size_t>(AppendSession());
  SessionData& rec = gSessionData[index];
  rec.User = user;
  rec.Pass = pass;
  rec.Host = host;

  rec.OraSession = ora::CreateOraSession(host);
  if (!rec.OraSession) {
    hourglass.reset();
    platform::MsgBox(QStringLiteral("オラクルクライアントがインストールされていません"),
                     platform::vbCritical);
    ora::ErrClear();
    ReportFailedLogon(index);
    return false;
  }

  rec.OraDatabase = rec.OraSession->OpenDatabase(host, user + QLatin1Char('/') + pass, 0);
  if (!rec.OraDatabase && !ora::Err().pending() && rec.OraSession->LastServerErr() == 0) {
    // A driver that gives no database and no reason still failed; say so instead of keeping a
    // session that cannot run anything.
    ora::Raise(ora::kErrObjectRequired, QStringLiteral("オブジェクトが必要です。"));
  }
  if (ora::Err().pending() || !rec.OraDatabase) {
    hourglass.reset();
    ReportFailedLogon(index);
    return false;
  }
  return true;
}
