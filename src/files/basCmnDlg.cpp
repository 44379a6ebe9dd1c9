#include "files/basCmnDlg.h"

#include "platform/Platform.h"

namespace {

QString ShowFileDialog(bool save, QWidget* owner, const QString& title,
                       const QString& initialFolder, const QString& filter) {
  platform::FileDialogRequest request;
  request.save = save;
  request.title = title;
  request.initialFolder = initialFolder;
  request.filters = ParseFilter(filter);
  request.fileMustExist = true;
  request.owner = owner;
  return platform::ShowFileDialog(request);
}

}  // namespace

QStringList ParseFilter(const QString& filter) {
  QStringList parts = filter.split(QChar(u'\0'));
  // The list ends with a NUL after its last part, which leaves an empty piece behind it.
  while (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  QStringList pairs;
  // A description without its pattern is dropped, as the platform's dialog does.
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i + 1].isEmpty()) continue;
    pairs << parts[i] << parts[i + 1];
  }
  if (pairs.isEmpty()) pairs << QStringLiteral("すべてのﾌｧｲﾙ(*.*)") << QStringLiteral("*.*");
  return pairs;
}

QString mFn_ShowOpenDialog(QWidget* owner, QString title, QString initialFolder, QString filter) {
  return ShowFileDialog(false, owner, title, initialFolder, filter);
}

QString mFn_ShowSaveDialog(QWidget* owner, QString title, QString initialFolder, QString filter) {
  return ShowFileDialog(true, owner, title, initialFolder, filter);
}
