#pragma once
// Drops files (and text) onto a widget the way a file manager does: enter, move, drop.
#include <QList>
#include <QString>
#include <QUrl>

class QWidget;

// True when the widget accepted the drop.
bool DropOnto(QWidget* target, const QList<QUrl>& urls, const QString& text = QString());
