#pragma once
// Stand-ins for the operating-system services the program uses. Nothing else in the program
// calls Qt's dialogs or OS facilities directly, so tests can replace each service here.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAbstractButton;
class QProgressDialog;
class QWidget;

namespace platform {

// ---- Message and input boxes --------------------------------------------------------------
// Button and icon codes of a message box, and its answers.
enum MsgBoxStyle : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
  vbDefaultButton2 = 256,
  vbDefaultButton3 = 512,
};
enum MsgBoxResult : int {
  vbOK = 1,
  vbCancel = 2,
  vbAbort = 3,
  vbRetry = 4,
  vbIgnore = 5,
  vbYes = 6,
  vbNo = 7
};

// The application's title, the caption of message boxes unless a caller gives another.
QString AppTitle();

// Shows a modal message box; returns the answer. An empty title means the application's title.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());

// Shows a modal input box; returns the text typed, or an empty text when cancelled (cancelled
// tells the two apart for callers that care).
QString InputBox(const QString& prompt, const QString& title = QString(),
                 const QString& defaultText = QString(), bool* cancelled = nullptr);

// What a replacement of the two boxes receives.
struct MsgBoxCall {
  QString prompt;
  int style = 0;
  QString title;  // as shown (the application's title when the caller gave none)
};
struct InputBoxCall {
  QString prompt;
  QString title;
  QString defaultText;
};
struct InputBoxAnswer {
  QString text;
  bool cancelled = false;
};

// ---- File dialogs ------------------------------------------------------------------------
struct FileDialogRequest {
  bool save = false;
  QString title;
  QString initialFolder;
  // Pairs of description and pattern list ("*.sql;*.txt"), as the NUL-separated filter gives.
  QStringList filters;
  bool fileMustExist = true;
  QWidget* owner = nullptr;
  // When given, receives the index of the file type chosen (0 for the first pair).
  int* chosenFilter = nullptr;
};
// Returns the chosen path, or an empty text when cancelled.
QString ShowFileDialog(const FileDialogRequest& request);

// ---- Replacing the dialogs (the scripted test double does) -------------------------------
struct DialogHandler {
  std::function<int(const MsgBoxCall&)> msgBox;
  std::function<InputBoxAnswer(const InputBoxCall&)> inputBox;
  std::function<QString(const FileDialogRequest&)> fileDialog;
  // Told every step of a progress dialog (its label, done, total); false cancels.
  std::function<bool(const QString&, qint64, qint64)> progress;
};
// Installs a handler; empty members keep the real dialogs. Returns the previous handler.
DialogHandler SetDialogHandler(DialogHandler handler);

// ---- Progress dialog --------------------------------------------------------------------
// A modal progress dialog with a cancel button, shown once the work lasts more than a moment.
class Progress {
 public:
  Progress(QWidget* owner, const QString& title, const QString& label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // Shows how far the work is and lets window messages through; false once cancelled.
  bool Step(qint64 done, qint64 total);

 private:
  QString label_;
  std::unique_ptr<QProgressDialog> dialog_;
};

// ---- Per-user settings store -------------------------------------------------------------
// Kept with QSettings in a file owned and readable by the user only (it holds passwords).
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);
void DeleteSetting(const QString& app, const QString& section);
// Holds the settings written while it lives and saves them in one write when the outermost
// batch ends, so saving several keys rewrites the file once. Reads see the held writes.
class SettingsBatch {
 public:
  SettingsBatch();
  ~SettingsBatch();
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;
};
// The file behind the store; tests point it at a temporary file.
QString SettingsFile();
void SetSettingsFile(const QString& path);

// ---- Program folder ----------------------------------------------------------------------
// The executable's folder, or the per-user data folder when that one cannot be written.
// Without a trailing separator.
QString ProgramFolder();
void SetProgramFolder(const QString& path);
// The per-user data folder (created when missing).
QString UserDataFolder();

// ---- Clock -------------------------------------------------------------------------------
QDateTime Now();
// Fixes the clock for tests; an invalid date-time restores the real clock.
void SetNow(const QDateTime& now);
// The text of a date and time as the program writes it: "yyyy/MM/dd H:mm:ss".
QString DateTimeText(const QDateTime& dt);

// ---- Hourglass pointer -------------------------------------------------------------------
// Shows the hourglass while it lives; restoring it also when the scope is left early.
class Hourglass {
 public:
  Hourglass();
  ~Hourglass();
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;
};

// ---- Windows and events ------------------------------------------------------------------
// Gives the button the focus and has it pressed after the current command returns.
void PressButton(QAbstractButton* button);
// Lets pending window messages through.
void DoEvents();

// ---- Documents and programs --------------------------------------------------------------
// Opens a file in the desktop's program for it, or a web address in the browser.
// Returns false when nothing could open it.
bool OpenDocument(const QString& pathOrUrl);
// Replacing the opener (tests record what would have been opened).
void SetDocumentOpener(std::function<bool(const QString&)> opener);
// The system information program: its path, or empty when there is none.
QString SystemInfoProgram();
void SetSystemInfoProgramForTest(std::function<QString()> finder);
// Starts a program detached; false when it could not be started.
bool StartProgram(const QString& program, const QStringList& arguments = {});

}  // namespace platform
