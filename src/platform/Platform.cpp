#include "platform/Platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <algorithm>

namespace platform {

namespace {

DialogHandler& Handler() {
  static DialogHandler handler;
  return handler;
}

QString& SettingsPathOverride() {
  static QString path;
  return path;
}

QString& ProgramFolderOverride() {
  static QString path;
  return path;
}

QDateTime& FixedNow() {
  static QDateTime now;
  return now;
}

std::function<bool(const QString&)>& DocumentOpener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

std::function<QString()>& SystemInfoFinder() {
  static std::function<QString()> finder;
  return finder;
}

QMessageBox::Icon IconOf(int style) {
  switch (style & 0x70) {
    case vbCritical:
      return QMessageBox::Critical;
    case vbQuestion:
      return QMessageBox::Question;
    case vbExclamation:
      return QMessageBox::Warning;
    case vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int RealMsgBox(const MsgBoxCall& call) {
  QMessageBox box(IconOf(call.style), call.title, call.prompt, QMessageBox::NoButton,
                  QApplication::activeWindow());
  struct B {
    QString text;
    QMessageBox::ButtonRole role;
    int answer;
  };
  std::vector<B> buttons;
  switch (call.style & 0x7) {
    case vbOKCancel:
      buttons = {{QStringLiteral("OK"), QMessageBox::AcceptRole, vbOK},
                 {QStringLiteral("キャンセル"), QMessageBox::RejectRole, vbCancel}};
      break;
    case vbAbortRetryIgnore:
      buttons = {{QStringLiteral("中止(&A)"), QMessageBox::RejectRole, vbAbort},
                 {QStringLiteral("再試行(&R)"), QMessageBox::AcceptRole, vbRetry},
                 {QStringLiteral("無視(&I)"), QMessageBox::AcceptRole, vbIgnore}};
      break;
    case vbYesNoCancel:
      buttons = {{QStringLiteral("はい(&Y)"), QMessageBox::YesRole, vbYes},
                 {QStringLiteral("いいえ(&N)"), QMessageBox::NoRole, vbNo},
                 {QStringLiteral("キャンセル"), QMessageBox::RejectRole, vbCancel}};
      break;
    case vbYesNo:
      buttons = {{QStringLiteral("はい(&Y)"), QMessageBox::YesRole, vbYes},
                 {QStringLiteral("いいえ(&N)"), QMessageBox::NoRole, vbNo}};
      break;
    case vbRetryCancel:
      buttons = {{QStringLiteral("再試行(&R)"), QMessageBox::AcceptRole, vbRetry},
                 {QStringLiteral("キャンセル"), QMessageBox::RejectRole, vbCancel}};
      break;
    default:
      buttons = {{QStringLiteral("OK"), QMessageBox::AcceptRole, vbOK}};
      break;
  }
  std::vector<QPushButton*> made;
  for (const B& b : buttons) made.push_back(box.addButton(b.text, b.role));
  std::size_t def = 0;
  if (call.style & vbDefaultButton3)
    def = 2;
  else if (call.style & vbDefaultButton2)
    def = 1;
  if (def < made.size()) box.setDefaultButton(made[def]);
  box.exec();
  for (std::size_t i = 0; i < made.size(); ++i) {
    if (box.clickedButton() == made[i]) return buttons[i].answer;
  }
  // Closed with Esc or the window's close box: the cancelling answer.
  for (const B& b : buttons) {
    if (b.answer == vbCancel || b.answer == vbNo) return b.answer;
  }
  return buttons.front().answer;
}

InputBoxAnswer RealInputBox(const InputBoxCall& call) {
  bool ok = false;
  QString text = QInputDialog::getText(QApplication::activeWindow(), call.title, call.prompt,
                                       QLineEdit::Normal, call.defaultText, &ok);
  if (!ok) return {QString(), true};
  return {text, false};
}

// File names are matched as the program's users expect from their own system: "*.SQL" also
// shows query.sql, and "*.*" also shows names without a dot.
QString CaseInsensitivePattern(const QString& pattern) {
  if (pattern == QStringLiteral("*.*")) return QStringLiteral("*");
  if (pattern.contains(QLatin1Char('['))) return pattern;
  QString out;
  for (const QChar c : pattern) {
    const QChar lower = c.toLower();
    const QChar upper = c.toUpper();
    if (lower == upper) {
      out += c;
    } else {
      out += QLatin1Char('[') + lower + upper + QLatin1Char(']');
    }
  }
  return out;
}

QString RealFileDialog(const FileDialogRequest& r) {
  QStringList nameFilters;
  for (int i = 0; i + 1 < r.filters.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : r.filters[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
      patterns << CaseInsensitivePattern(p.trimmed());
    nameFilters << QStringLiteral("%1 (%2)").arg(r.filters[i], patterns.join(QLatin1Char(' ')));
  }
  QFileDialog dlg(r.owner, r.title, r.initialFolder);
  // The file type list shows the caller's descriptions, not the expanded patterns.
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setNameFilters(nameFilters);
  if (r.save) {
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  } else {
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
  if (r.chosenFilter)
    *r.chosenFilter = std::max(0, int(nameFilters.indexOf(dlg.selectedNameFilter())));
  return dlg.selectedFiles().first();
}

// The settings file is created readable and writable by its owner only before QSettings writes
// to it, because the logon history holds passwords.
void EnsurePrivateFile(const QString& path) {
  QFileInfo info(path);
  QDir().mkpath(info.absolutePath());
  if (!info.exists()) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.close();
  }
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The settings of the SettingsBatch that lives, if any.
std::unique_ptr<QSettings>& BatchSettings() {
  static std::unique_ptr<QSettings> settings;
  return settings;
}
int& BatchDepth() {
  static int depth = 0;
  return depth;
}

std::unique_ptr<QSettings> OpenSettings() {
  const QString path = SettingsFile();
  EnsurePrivateFile(path);
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

// The store as one call uses it: the batch's settings while a batch lives (so a read sees the
// writes it holds), else settings of its own that are saved when the call is done.
class SettingsAccess {
 public:
  SettingsAccess() {
    if (!BatchSettings()) own_ = OpenSettings();
  }
  QSettings* operator->() const { return own_ ? own_.get() : BatchSettings().get(); }
  void save() const {
    if (own_) own_->sync();
  }

 private:
  std::unique_ptr<QSettings> own_;
};

QString GroupOf(const QString& app, const QString& section) {
  return app + QLatin1Char('/') + section;
}

bool IsWritableFolder(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(folder + QStringLiteral("/.querna-write-XXXXXX"));
  return probe.open();
}

}  // namespace

QString AppTitle() {
  return QStringLiteral("Querna");
}

int MsgBox(const QString& prompt, int style, const QString& title) {
  MsgBoxCall call{prompt, style, title.isEmpty() ? AppTitle() : title};
  if (Handler().msgBox) return Handler().msgBox(call);
  return RealMsgBox(call);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                 bool* cancelled) {
  InputBoxCall call{prompt, title.isEmpty() ? AppTitle() : title, defaultText};
  InputBoxAnswer answer = Handler().inputBox ? Handler().inputBox(call) : RealInputBox(call);
  if (cancelled) *cancelled = answer.cancelled;
  return answer.cancelled ? QString() : answer.text;
}

QString ShowFileDialog(const FileDialogRequest& request) {
  if (Handler().fileDialog) return Handler().fileDialog(request);
  return RealFileDialog(request);
}

DialogHandler SetDialogHandler(DialogHandler handler) {
  DialogHandler previous = Handler();
  Handler() = std::move(handler);
  return previous;
}

Progress::Progress(QWidget* owner, const QString& title, const QString& label) : label_(label) {
  if (Handler().progress) return;
  dialog_ = std::make_unique<QProgressDialog>(label, QStringLiteral("キャンセル"), 0, 1000, owner);
  dialog_->setWindowTitle(title);
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setMinimumDuration(300);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
}

Progress::~Progress() = default;

bool Progress::Step(qint64 done, qint64 total) {
  if (Handler().progress) return Handler().progress(label_, done, total);
  if (!dialog_) return true;
  // The dialog counts in thousandths, so any total fits its int range.
  dialog_->setValue(total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 1000);
  QCoreApplication::processEvents();
  return !dialog_->wasCanceled();
}

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
  SettingsAccess s;
  const QVariant v = s->value(GroupOf(app, section) + QLatin1Char('/') + key);
  if (!v.isValid()) return defaultValue;
  // A value written by hand without quotes, such as a comma-separated history, is read back
  // by QSettings as a list; it is the same text to the program.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
  return v.toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value) {
  SettingsAccess s;
  s->setValue(GroupOf(app, section) + QLatin1Char('/') + key, value);
  s.save();
}

void DeleteSetting(const QString& app, const QString& section) {
  SettingsAccess s;
  s->remove(GroupOf(app, section));
  s.save();
}

SettingsBatch::SettingsBatch() {
  if (BatchDepth()++ == 0) BatchSettings() = OpenSettings();
}

SettingsBatch::~SettingsBatch() {
  if (--BatchDepth() > 0) return;
  BatchSettings()->sync();
  BatchSettings().reset();
}

QString SettingsFile() {
  if (!SettingsPathOverride().isEmpty()) return SettingsPathOverride();
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Querna/ZEPH.ini");
}

void SetSettingsFile(const QString& path) {
  SettingsPathOverride() = path;
}

QString UserDataFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/.local/share/Querna");
  QDir().mkpath(folder);
  return folder;
}

QString ProgramFolder() {
  if (!ProgramFolderOverride().isEmpty()) return ProgramFolderOverride();
  static const QString folder = [] {
    const QString exeFolder = QCoreApplication::applicationDirPath();
    return IsWritableFolder(exeFolder) ? exeFolder : UserDataFolder();
  }();
  return folder;
}

void SetProgramFolder(const QString& path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
  ProgramFolderOverride() = p;
}

QDateTime Now() {
  if (FixedNow().isValid()) return FixedNow();
  return QDateTime::currentDateTime();
}

void SetNow(const QDateTime& now) {
  FixedNow() = now;
}

QString DateTimeText(const QDateTime& dt) {
  return dt.toString(QStringLiteral("yyyy/MM/dd H:mm:ss"));
}

Hourglass::Hourglass() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()))
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()))
    QApplication::restoreOverrideCursor();
}

void PressButton(QAbstractButton* button) {
  if (!button) return;
  button->setFocus(Qt::OtherFocusReason);
  QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

void DoEvents() {
  QCoreApplication::processEvents();
}

bool OpenDocument(const QString& pathOrUrl) {
  if (DocumentOpener()) return DocumentOpener()(pathOrUrl);
  const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl)
                                                : QUrl(pathOrUrl, QUrl::TolerantMode);
  return QDesktopServices::openUrl(url);
}

void SetDocumentOpener(std::function<bool(const QString&)> opener) {
  DocumentOpener() = std::move(opener);
}

QString SystemInfoProgram() {
  if (SystemInfoFinder()) return SystemInfoFinder()();
#ifdef Q_OS_WIN
  QSettings reg(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                QSettings::NativeFormat);
  return reg.value(QStringLiteral("PATH")).toString();
#else
  for (const char* name : {"hardinfo", "gnome-system-monitor", "kinfocenter", "lshw-gtk"}) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found;
  }
  return QString();
#endif
}

void SetSystemInfoProgramForTest(std::function<QString()> finder) {
  SystemInfoFinder() = std::move(finder);
}

bool StartProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

}  // namespace platform
