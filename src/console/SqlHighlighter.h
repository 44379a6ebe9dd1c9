#pragma once
// Colours in the SQL box: keywords, string literals, numbers and comments. Text and behaviour of
// the box stay as they are; only the colours of the characters change.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class SqlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
 public:
  explicit SqlHighlighter(QTextDocument* document);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  QTextCharFormat keyword_;
  QTextCharFormat string_;
  QTextCharFormat number_;
  QTextCharFormat comment_;
};
