#include "common/ScriptedDialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs() {
  platform::DialogHandler h;
  h.msgBox = [this](const platform::MsgBoxCall& c) { return onMsgBox(c); };
  h.inputBox = [this](const platform::InputBoxCall& c) { return onInputBox(c); };
  h.fileDialog = [this](const platform::FileDialogRequest& r) { return onFileDialog(r); };
  h.progress = [this](const QString&, qint64 done, qint64) {
    return cancelProgressAt_ < 0 || done < cancelProgressAt_;
  };
  previous_ = platform::SetDialogHandler(h);
}

ScriptedDialogs::~ScriptedDialogs() {
  platform::SetDialogHandler(previous_);
}

QStringList ScriptedDialogs::prompts() const {
  QStringList out;
  for (const auto& c : msgBoxes_) out << c.prompt;
  return out;
}

void ScriptedDialogs::clear() {
  msgBoxes_.clear();
  inputBoxes_.clear();
  fileDialogs_.clear();
}

int ScriptedDialogs::onMsgBox(const platform::MsgBoxCall& call) {
  msgBoxes_.push_back(call);
  if (!msgAnswers_.empty()) {
    const int a = msgAnswers_.front();
    msgAnswers_.pop_front();
    return a;
  }
  if ((call.style & 0x7) == platform::vbOKOnly) return platform::vbOK;
  QTest::qFail(qPrintable(QStringLiteral("unexpected message box: ") + call.prompt), __FILE__,
               __LINE__);
  return platform::vbCancel;
}

platform::InputBoxAnswer ScriptedDialogs::onInputBox(const platform::InputBoxCall& call) {
  inputBoxes_.push_back(call);
  if (!inputAnswers_.empty()) {
    auto a = inputAnswers_.front();
    inputAnswers_.pop_front();
    return a;
  }
  QTest::qFail(qPrintable(QStringLiteral("unexpected input box: ") + call.prompt), __FILE__,
               __LINE__);
  return {QString(), true};
}

QString ScriptedDialogs::onFileDialog(const platform::FileDialogRequest& request) {
  fileDialogs_.push_back(request);
  if (!fileAnswers_.empty()) {
    const auto [path, filter] = fileAnswers_.front();
    fileAnswers_.pop_front();
    if (request.chosenFilter) *request.chosenFilter = filter;
    return path;
  }
  QTest::qFail("unexpected file dialog", __FILE__, __LINE__);
  return QString();
}
