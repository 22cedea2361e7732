// quillon_screenshot PICTURE DIRECTORY [WIDTHxHEIGHT]: opens PICTURE in the window (of that
// size, for a look at small and large screens), recognises it (every page) and
// writes what a user sees as PNG files: scan-document.png (before and after the run),
// output-text.png, other-settings.png, developer-panel.png and the two dialogs. Runs without a
// display (the offscreen platform) unless one is set.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <cstdlib>
#include <iostream>

#include "app/MainUnit.h"
#include "gui/Dialogs.h"
#include "gui/QtWindow.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
}

bool Save(QtWindow& window, const QDir& directory, const QString& name) {
  Settle();
  const QString path = directory.filePath(name);
  if (!window.grab().save(path)) {
    std::cerr << "quillon_screenshot: cannot write " << path.toStdString() << std::endl;
    return false;
  }
  std::cout << path.toStdString() << std::endl;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: quillon_screenshot PICTURE DIRECTORY [WIDTHxHEIGHT]" << std::endl;
    return 2;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  const QDir directory(QString::fromLocal8Bit(argv[2]));
  if (!QDir().mkpath(directory.path())) {
    std::cerr << "quillon_screenshot: cannot make " << argv[2] << std::endl;
    return 1;
  }
  bool ok = true;
  {
    QtWindow window;
    TMainForm form(window, QApplication::applicationFilePath().toStdString(), {});
    window.Attach(&form);
    form.FormCreate();
    if (argc == 4) {
      const QStringList size = QString(argv[3]).split('x');
      if (size.size() == 2) window.resize(size[0].toInt(), size[1].toInt());
    }
    window.show();
    Settle();
    if (!form.OpenPic(argv[1])) return 1;
    ok &= Save(window, directory, "scan-document-opened.png");
    window.TextErkennBtn->click();
    window.PageControl1->setCurrentIndex(kPageScanDocument);
    ok &= Save(window, directory, "scan-document.png");
    window.PageControl1->setCurrentIndex(kPageOutputText);
    ok &= Save(window, directory, "output-text.png");
    window.PageControl1->setCurrentIndex(kPageOtherSettings);
    ok &= Save(window, directory, "other-settings.png");
    window.PageControl1->setCurrentIndex(kPageScanDocument);
    window.SetDeveloperPanelVisible(true);
    ok &= Save(window, directory, "developer-panel.png");
    for (QWidget* dialog :
         {static_cast<QWidget*>(window.AboutBox), static_cast<QWidget*>(window.EntercharForm)}) {
      dialog->show();
      Settle();
      const QString path = directory.filePath(dialog->objectName() + ".png");
      ok &= dialog->grab().save(path);
      std::cout << path.toStdString() << std::endl;
      dialog->hide();
    }
    window.Attach(nullptr);
  }
  return ok ? 0 : 1;
}
