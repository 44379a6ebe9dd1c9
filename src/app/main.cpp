#include <QApplication>
#include <QFont>

#include "app/basMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Querna"));
  QApplication::setOrganizationName(QStringLiteral("Querna"));
  // One font for Latin and Japanese text: the Windows gothic face where it exists, else the
  // gothic faces a Linux desktop has.
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  QApplication::setFont(font);
  Main();
  return QApplication::exec();
}
