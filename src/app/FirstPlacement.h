#pragma once
// The main window's placement on a first start, when no placement is saved yet.
#include <QRect>

class QMainWindow;

// Room below the menu bar for a console window at its designed size, and for the whole menu
// bar, but never more than the screen has available; centred on that screen. The rectangle's
// position is the frame's (as move() takes it), its size the window's own (as resize() takes it).
QRect FirstStartPlacement(QMainWindow* main);
