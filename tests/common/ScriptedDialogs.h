#pragma once
// Records every dialog call and answers from queues; a dialog nobody scripted fails the test.
#include <QList>
#include <QString>
#include <deque>
#include <utility>

#include "platform/Platform.h"

class ScriptedDialogs {
 public:
  ScriptedDialogs();
  ~ScriptedDialogs();
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  // Answers for the next message boxes (vbOK, vbYes …), in order; a box with only an OK button
  // needs none.
  void answerMsgBox(int answer) { msgAnswers_.push_back(answer); }
  // One answer per input box; kCancel cancels that box.
  static inline const QString kCancel = QStringLiteral("<cancel>");
  void answerInputBoxes(const QStringList& answers) {
    for (const QString& a : answers)
      inputAnswers_.push_back({a == kCancel ? QString() : a, a == kCancel});
  }
  // The path the next file dialog gives, and the file type it reports as chosen.
  void answerFileDialog(const QString& path, int filter = 0) {
    fileAnswers_.push_back({path, filter});
  }
  // Progress dialogs go on unless told here to cancel at the first step reaching done.
  void cancelProgressAt(qint64 done) { cancelProgressAt_ = done; }

  const QList<platform::MsgBoxCall>& msgBoxes() const { return msgBoxes_; }
  const QList<platform::InputBoxCall>& inputBoxes() const { return inputBoxes_; }
  const QList<platform::FileDialogRequest>& fileDialogs() const { return fileDialogs_; }
  // Prompts of the message boxes shown so far.
  QStringList prompts() const;
  void clear();

 private:
  int onMsgBox(const platform::MsgBoxCall& call);
  platform::InputBoxAnswer onInputBox(const platform::InputBoxCall& call);
  QString onFileDialog(const platform::FileDialogRequest& request);

  platform::DialogHandler previous_;
  std::deque<int> msgAnswers_;
  std::deque<platform::InputBoxAnswer> inputAnswers_;
  std::deque<std::pair<QString, int>> fileAnswers_;
  qint64 cancelProgressAt_ = -1;
  QList<platform::MsgBoxCall> msgBoxes_;
  QList<platform::InputBoxCall> inputBoxes_;
  QList<platform::FileDialogRequest> fileDialogs_;
};
