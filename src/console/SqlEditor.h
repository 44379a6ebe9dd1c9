#pragma once
// The console's SQL box: a plain text editor with its own select-all and clipboard keys, and a
// file drop that loads a SQL script. F3, F5 and Ctrl+Z are left to the main window's menu.
#include <QPlainTextEdit>
#include <QStringList>

class SqlEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit SqlEditor(QWidget* parent = nullptr);

 signals:
  // Local files were dropped onto the editor, in the order the drop named them.
  void filesDropped(const QStringList& paths);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  // Only files may be dropped; dragged text is refused, so nothing is inserted by a drop.
  void dropEvent(QDropEvent* e) override;

 private:
  // Handles Ctrl+A/C/V/X; false when the key is left to the editor's standard behaviour.
  bool controlKey(int key);
};
