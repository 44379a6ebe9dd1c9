#include "console/SqlEditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextDocumentFragment>

#include "console/SqlHighlighter.h"

namespace {

// The menu's accelerators: the editor must neither undo on Ctrl+Z nor swallow F3/F5, or the
// stop, clear and execute commands would not reach the menu while the editor has the focus.
bool isMenuKey(const QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::NoModifier && (e->key() == Qt::Key_F3 || e->key() == Qt::Key_F5)) return true;
  return mods == Qt::ControlModifier && e->key() == Qt::Key_Z;
}

QStringList localFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

SqlEditor::SqlEditor(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("txtSQL"));
  setAcceptDrops(true);
  new SqlHighlighter(document());
  // The right-click menu without Undo and Redo: Ctrl+Z is the menu's SQL中断 here.
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QMenu* menu = createStandardContextMenu(pos);
    for (QAction* a : menu->actions()) {
      if (a->objectName() == QLatin1String("edit-undo") ||
          a->objectName() == QLatin1String("edit-redo"))
        delete a;
    }
    if (!menu->actions().isEmpty() && menu->actions().first()->isSeparator())
      delete menu->actions().first();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(pos));
  });
}

bool SqlEditor::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && isMenuKey(static_cast<QKeyEvent*>(e))) {
    e->ignore();
    return false;
  }
  return QPlainTextEdit::event(e);
}

void SqlEditor::keyPressEvent(QKeyEvent* e) {
  // The commands go by the control character the key produces, so Shift does not matter.
  const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  if (mods == Qt::ControlModifier && controlKey(e->key())) {
    e->accept();
    return;
  }
  if (isMenuKey(e)) {
    e->ignore();
    return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

bool SqlEditor::controlKey(int key) {
  QTextCursor cursor = textCursor();
  switch (key) {
    case Qt::Key_A: {
      if (document()->isEmpty()) return false;
      selectAll();
      return true;
    }
    case Qt::Key_C:
    case Qt::Key_X: {
      if (!cursor.hasSelection()) return false;
      QClipboard* clip = QGuiApplication::clipboard();
      clip->clear();
      clip->setText(cursor.selection().toPlainText());
      if (key == Qt::Key_X) {
        cursor.removeSelectedText();
        setTextCursor(cursor);
      }
      return true;
    }
    case Qt::Key_V: {
      const QMimeData* data = QGuiApplication::clipboard()->mimeData();
      if (!data || !data->hasText()) return false;
      // The editor keeps line breaks as single characters, so the caret is counted the same way.
      QString pasted = data->text();
      pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      const int start = cursor.selectionStart();
      const int length = cursor.selectionEnd() - start;
      const QString old = toPlainText();
      setPlainText(old.left(start) + pasted + old.mid(start + length));
      QTextCursor caret = textCursor();
      caret.setPosition(start + static_cast<int>(pasted.size()));
      setTextCursor(caret);
      return true;
    }
    default:
      return false;
  }
}

void SqlEditor::dragEnterEvent(QDragEnterEvent* e) {
  if (localFiles(e->mimeData()).isEmpty()) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
}

void SqlEditor::dragMoveEvent(QDragMoveEvent* e) {
  if (localFiles(e->mimeData()).isEmpty()) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
}

void SqlEditor::dropEvent(QDropEvent* e) {
  const QStringList paths = localFiles(e->mimeData());
  if (paths.isEmpty()) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
  emit filesDropped(paths);
}
