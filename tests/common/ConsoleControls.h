#pragma once
// A console's controls, found by their object names as a user's tools would find them, and what
// their lists show.
#include <QComboBox>
#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

template <class T>
T* Ctl(const QObject* owner, const char* name) {
  T* control = owner ? owner->findChild<T*>(QLatin1String(name)) : nullptr;
  if (!control) qFatal("no control %s", name);
  return control;
}

inline QStringList Items(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

// Lets windows closed or deleted later actually go.
inline void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}
