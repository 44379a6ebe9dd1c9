// Fuzz target for the settings read at start: the main window's placement numbers and the
// logon histories. The input is either a whole settings file (first byte odd) or ten values
// separated by NUL bytes for the keys below (first byte even). Loading the main window and the
// logon dialog must not crash or ask anything, and every listed history value must be non-blank.
#include <QApplication>
#include <QByteArray>
#include <QComboBox>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/basMain.h"
#include "app/frmMain.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

namespace {

struct Key {
  const char* section;
  const char* name;
};
const Key kKeys[] = {{"Settings", "MainLeft"},   {"Settings", "MainTop"}, {"Settings", "MainWidth"},
                     {"Settings", "MainHeight"}, {"Logon", "User"},       {"Logon", "Pass"},
                     {"Logon", "Host"},          {"Logon", "StartUser"},  {"Logon", "StartPass"},
                     {"Logon", "StartHost"}};

QString g_settings;

void CheckHistoryBox(const QComboBox* box) {
  for (int i = 0; i < box->count(); ++i)
    if (box->itemText(i).trimmed().isEmpty()) std::abort();
}

}  // namespace

// The system libraries' start-up allocations under the offscreen platform are not findings.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libdbus-1\nleak:_dl_init\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  static QTemporaryDir dir;
  if (!dir.isValid()) std::abort();
  g_settings = dir.filePath(QStringLiteral("ZEPH.ini"));
  platform::SetSettingsFile(g_settings);
  platform::SetProgramFolder(dir.path());
  platform::SetDialogHandler(
      {[](const platform::MsgBoxCall&) -> int { std::abort(); },
       [](const platform::InputBoxCall&) -> platform::InputBoxAnswer { std::abort(); },
       [](const platform::FileDialogRequest&) -> QString { std::abort(); },
       [](const QString&, qint64, qint64) -> bool { std::abort(); }});
  frmMain::SetLogonDialog([](QWidget*) {});
  CreateSessions();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 16384) return 0;
  QFile::remove(g_settings);
  const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  if (data[0] & 1) {
    QFile f(g_settings);
    if (!f.open(QIODevice::WriteOnly)) std::abort();
    f.write(rest);
  } else {
    const QList<QByteArray> values = rest.split('\0');
    for (qsizetype i = 0; i < values.size() && i < qsizetype(std::size(kKeys)); ++i)
      platform::SaveSetting(QStringLiteral("ZEPH"), QLatin1String(kKeys[i].section),
                            QLatin1String(kKeys[i].name), QString::fromUtf8(values[i]));
  }

  {
    frmMain main;
    gfrmMain = &main;
    main.Load();
    gfrmMain = nullptr;
  }
  frmLogon logon;
  CheckHistoryBox(logon.cmbUser);
  CheckHistoryBox(logon.cmbPass);
  CheckHistoryBox(logon.cmbHost);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return 0;
}
