#pragma once
// A console's controls, found by their object names as a user's tools would find them.
#include <QObject>
#include <QString>
#include <QtGlobal>

template <class T>
T* Ctl(const QObject* owner, const char* name) {
  T* control = owner ? owner->findChild<T*>(QLatin1String(name)) : nullptr;
  if (!control) qFatal("no control %s", name);
  return control;
}
