#pragma once
// The main window: a multiple-document frame holding the console windows, with the only menu bar.
#include <QMainWindow>

class QMdiArea;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
  QMdiArea* mdiArea() const { return mdi_; }

 private:
  QMdiArea* mdi_;
};
