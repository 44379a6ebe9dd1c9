#pragma once
// In-cell editing by the column's settings: character set, case, multi-line, masking and
// maximum length. What the user types changes only the grid.
#include <QFont>
#include <QHash>
#include <QPlainTextEdit>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QValidator>

#include "grid/ColumnStore.h"

namespace grid {

// Whether a character may be typed into a cell of the given character set code.
bool CharAllowed(QChar c, int charSet);
// The text in the case a column keeps (0 lower, 1 as typed, 2 upper).
QString ApplyCase(const QString& text, int charCase);

// Accepts only the column's characters and turns them into its case.
class CellValidator : public QValidator {
 public:
  CellValidator(int charSet, int charCase, QObject* parent);
  State validate(QString& input, int& pos) const override;

 private:
  int charSet_;
  int charCase_;
};

// The editor of multi-line columns: refuses what breaks the column's rules, typed or pasted.
class MultiLineEditor : public QPlainTextEdit {
 public:
  MultiLineEditor(const CellFormat& format, QWidget* parent);
  // Shows the cell's text as it is, whatever the rules say.
  void Load(const QString& text);

 private:
  void onTextChanged();

  CellFormat format_;
  QString accepted_;
  bool restoring_ = false;
};

// The start of a text that covers at least reachPx pixels, or the whole text when it is short or
// has more than one line. Painting a long value lays out only what can be seen.
QString VisibleText(const QString& text, const QFontMetrics& metrics, int reachPx);

// Paints a cell's single-line text from a laid-out copy kept per cell: a repaint of cells whose
// text, width and font did not change (a scroll by whole rows, the row numbers growing wider
// during a fill) shapes no text again.
class SpreadDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;

 private:
  struct LaidOut {
    QString text;
    int width = 0;
    int elideMode = 0;
    QFont font;
    QStaticText shown;
  };
  mutable QHash<quint64, LaidOut> laidOut_;
};

}  // namespace grid
