#include "grid/CellEditor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "grid/SpreadModel.h"

namespace grid {

bool CharAllowed(QChar c, int charSet) {
  const char16_t u = c.unicode();
  const bool digit = u >= u'0' && u <= u'9';
  switch (charSet) {
    case 1:  // letters
      return c.isLetter();
    case 2:  // letters and digits
      return c.isLetter() || digit;
    case 3:  // numbers: digits, sign, decimal point and exponent
      return digit || u == u'-' || u == u'+' || u == u'.' || u == u'e' || u == u'E';
    default:
      return true;
  }
}

QString ApplyCase(const QString& text, int charCase) {
  if (charCase == 0) return text.toLower();
  if (charCase == 2) return text.toUpper();
  return text;
}

CellValidator::CellValidator(int charSet, int charCase, QObject* parent)
    : QValidator(parent), charSet_(charSet), charCase_(charCase) {}

QValidator::State CellValidator::validate(QString& input, int&) const {
  input = ApplyCase(input, charCase_);
  for (QChar c : input) {
    if (!CharAllowed(c, charSet_)) return Invalid;
  }
  return Acceptable;
}

MultiLineEditor::MultiLineEditor(const CellFormat& format, QWidget* parent)
    : QPlainTextEdit(parent), format_(format) {
  connect(this, &QPlainTextEdit::textChanged, this, &MultiLineEditor::onTextChanged);
}

void MultiLineEditor::Load(const QString& text) {
  restoring_ = true;
  setPlainText(text);
  restoring_ = false;
  accepted_ = text;
}

void MultiLineEditor::onTextChanged() {
  if (restoring_) return;
  const QString text = toPlainText();
  const QString cased = ApplyCase(text, format_.charCase);
  bool ok = format_.maxEditLen <= 0 || cased.size() <= format_.maxEditLen;
  for (QChar c : cased) {
    if (!ok) break;
    ok = c == QLatin1Char('\n') || CharAllowed(c, format_.charSet);
  }
  if (ok && cased == text) {
    accepted_ = text;
    return;
  }
  const QString keep = ok ? cased : accepted_;
  const int pos = std::min(int(textCursor().position()), int(keep.size()));
  restoring_ = true;
  setPlainText(keep);
  restoring_ = false;
  accepted_ = keep;
  QTextCursor cursor = textCursor();
  cursor.setPosition(pos);
  setTextCursor(cursor);
}

QString VisibleText(const QString& text, const QFontMetrics& metrics, int reachPx) {
  // Up to this many characters a text is laid out whole: the cost is small and no cut shows.
  constexpr qsizetype kAlwaysWhole = 256;
  if (text.size() <= kAlwaysWhole) return text;
  if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) return text;
  for (qsizetype n = kAlwaysWhole; n < text.size(); n *= 2) {
    // A pair of surrogates stays together.
    const qsizetype cut = text[n - 1].isHighSurrogate() ? n + 1 : n;
    const QString part = text.left(cut);
    if (metrics.horizontalAdvance(part) > reachPx) return part;
  }
  return text;
}

void SpreadDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  // Past the cell's right edge or the viewport's nothing is seen; the text still overruns both
  // so that the cell is elided as before. Text aligned otherwise than left must fill the cell.
  int reach = opt.rect.width();
  const auto* view = qobject_cast<const QAbstractItemView*>(opt.widget);
  if (view && (opt.displayAlignment & Qt::AlignLeft))
    reach = std::min(reach, view->viewport()->width() - opt.rect.left());
  opt.text = VisibleText(opt.text, opt.fontMetrics, std::max(reach, 0));
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  constexpr auto kOwnTextFeatures = QStyleOptionViewItem::WrapText |
                                    QStyleOptionViewItem::HasCheckIndicator |
                                    QStyleOptionViewItem::HasDecoration;
  if (opt.text.isEmpty() || (opt.features & kOwnTextFeatures) ||
      (opt.state & QStyle::State_Editing) || opt.text.contains(QLatin1Char('\n')) ||
      opt.text.contains(QLatin1Char('\r'))) {
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    return;
  }
  // The style draws the cell without its text, which then comes from the copy laid out once;
  // it sits where the style puts it, elided and coloured the same way.
  QString text;
  std::swap(text, opt.text);
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                             .adjusted(margin, 0, -margin, 0);
  // A handful of screens' worth of cells is kept; beyond that the copies start again.
  constexpr qsizetype kMaxLaidOut = 8192;
  if (laidOut_.size() > kMaxLaidOut) laidOut_.clear();
  LaidOut& cell = laidOut_[(quint64(quint32(index.row())) << 32) | quint32(index.column())];
  if (cell.width != textRect.width() || cell.elideMode != opt.textElideMode || cell.text != text ||
      cell.font != opt.font) {
    cell.text = text;
    cell.width = textRect.width();
    cell.elideMode = opt.textElideMode;
    cell.font = opt.font;
    cell.shown.setText(opt.fontMetrics.elidedText(text, opt.textElideMode, textRect.width()));
    cell.shown.setTextFormat(Qt::PlainText);
    cell.shown.prepare(QTransform(), opt.font);
  }
  QPalette::ColorGroup group =
      (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
  if (group == QPalette::Normal && !(opt.state & QStyle::State_Active)) group = QPalette::Inactive;
  painter->save();
  painter->setClipRect(opt.rect);
  painter->setFont(opt.font);
  painter->setPen(opt.palette.color(
      group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
  // The style places a right-aligned or centred text by its exact width.
  const QSizeF size = cell.shown.size();
  QPointF at =
      QStyle::alignedRect(opt.direction, opt.displayAlignment, size.toSize(), textRect).topLeft();
  const Qt::Alignment across = QStyle::visualAlignment(opt.direction, opt.displayAlignment);
  if (across & Qt::AlignRight)
    at.setX(textRect.left() + textRect.width() - size.width());
  else if (across & Qt::AlignHCenter)
    at.setX(textRect.left() + (textRect.width() - size.width()) / 2);
  painter->drawStaticText(at, cell.shown);
  painter->restore();
}

QWidget* SpreadDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const {
  const auto* model = qobject_cast<const SpreadModel*>(index.model());
  if (!model) return nullptr;
  const CellFormat& f = model->Column(index.column()).format;
  if (f.multiLine) {
    auto* editor = new MultiLineEditor(f, parent);
    editor->setFrameShape(QFrame::NoFrame);
    return editor;
  }
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  if (f.maxEditLen > 0) editor->setMaxLength(f.maxEditLen);
  if (f.password) editor->setEchoMode(QLineEdit::Password);
  if (f.charSet != 0 || f.charCase != 1)
    editor->setValidator(new CellValidator(f.charSet, f.charCase, editor));
  editor->setAlignment(f.hAlign == 1   ? Qt::AlignRight
                       : f.hAlign == 2 ? Qt::AlignHCenter
                                       : Qt::AlignLeft);
  return editor;
}

void SpreadDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* multi = dynamic_cast<MultiLineEditor*>(editor)) {
    multi->Load(index.data(Qt::EditRole).toString());
    return;
  }
  QStyledItemDelegate::setEditorData(editor, index);
}

}  // namespace grid
