#include "app/FirstPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "console/frmQuerna.h"

QRect FirstStartPlacement(QMainWindow* main) {
  // A console in a child window of an area never shown tells how much room the first one takes.
  QMdiArea probeArea;
  const QSize console = probeArea.addSubWindow(new frmQuerna)->sizeHint();
  const auto* area = qobject_cast<const QMdiArea*>(main->centralWidget());
  const int frame = area ? 2 * area->frameWidth() : 0;
  const QSize menu = main->menuBar()->sizeHint();
  QSize wanted(std::max(console.width() + frame, menu.width()),
               console.height() + frame + menu.height());

  const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
  if (!screen) return QRect(QPoint(0, 0), wanted);
  const QRect available = screen->availableGeometry();
  // The window manager's title bar is not known before the window is shown; the style's own
  // title bar height stands in for it.
  const int titleBar = main->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, main);
  wanted = wanted.boundedTo(QSize(available.width(), available.height() - titleBar));
  const int left = available.x() + (available.width() - wanted.width()) / 2;
  const int top = available.y() + (available.height() - wanted.height() - titleBar) / 2;
  return QRect(QPoint(left, top), wanted);
}
