#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/basMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Querna"));
  QApplication::setOrganizationName(QStringLiteral("Querna"));
  // Qt's own dialogs and menus (file dialogs, input boxes, a text box's menu) speak Japanese too.
  QTranslator qtTranslation;
  if (qtTranslation.load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslation);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/querna.svg")));
  // One font for Latin and Japanese text: the Windows gothic face where it exists, else the
  // gothic faces a Linux desktop has.
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  QApplication::setFont(font);
  Main();
  return QApplication::exec();
}
