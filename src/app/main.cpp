#include <QApplication>

#include "app/basMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Querna"));
  QApplication::setOrganizationName(QStringLiteral("Querna"));
  Main();
  return QApplication::exec();
}
