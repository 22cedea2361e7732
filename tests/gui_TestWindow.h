// The window under test: a QtWindow with its form, shown on the offscreen platform, and
// helpers to answer the dialogs it opens and to draw pages for it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "gui/PaintBoxWidget.h"
#include "gui/QtWindow.h"

// Lets queued events, timers and paints run for a while.
inline void Settle(int milliseconds = 60) {
  QElapsedTimer clock;
  clock.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  } while (clock.elapsed() < milliseconds);
}

// Calls `answer` with the first modal dialog that appears (polling every few ms) while
// `action` runs.
template <typename Dialog>
bool AnswerDialog(const std::function<void(Dialog*)>& answer, const std::function<void()>& action) {
  bool answered = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (answered) return;
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      answered = true;
      answer(dialog);
    }
  });
  poll.start();
  action();
  poll.stop();
  return answered;
}

// A line of text drawn with its top-left corner at (x, y).
struct TextAt {
  int x, y;
  QString text;
};

class WindowTest : public ::testing::Test {
 protected:
  void StartWindow(std::vector<std::string> args = {}) {
    window = std::make_unique<QtWindow>();
    form = std::make_unique<TMainForm>(*window, QApplication::applicationFilePath().toStdString(),
                                       std::move(args));
    window->Attach(form.get());
    // Message boxes that the logic shows on its own (a missing data file, ...) would wait
    // for a person: note and close them.
    watchdog.setInterval(20);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      if (!closeStrayBoxes) return;
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        strayMessages.push_back(box->text().toStdString());
        box->done(QMessageBox::No);
      }
    });
    watchdog.start();
    form->FormCreate();
    window->show();
    Settle();
  }
  void SetUp() override { ASSERT_TRUE(directory.isValid()); }
  void TearDown() override {
    watchdog.stop();
    if (window) window->Attach(nullptr);
    form.reset();
    window.reset();
  }

  std::string Path(const QString& name) const { return directory.filePath(name).toStdString(); }

  // A white page with black rectangles, saved as PNG.
  std::string DrawBoxes(const QString& name, int width, int height, std::vector<QRect> boxes) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const QRect& box : boxes) painter.fillRect(box, Qt::black);
    painter.end();
    EXPECT_TRUE(image.save(directory.filePath(name)));
    return Path(name);
  }

  // A white page with lines of black text in Liberation Sans.
  std::string DrawText(const QString& name, int width, int height, const std::vector<TextAt>& texts,
                       int pixelSize = 28) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font("Liberation Sans");
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (const TextAt& t : texts)
      painter.drawText(QPoint(t.x, t.y + QFontMetrics(font).ascent()), t.text);
    painter.end();
    EXPECT_TRUE(image.save(directory.filePath(name)));
    return Path(name);
  }

  QString OutputText() const { return window->RichEdit1->toPlainText(); }

  QTemporaryDir directory;
  std::unique_ptr<QtWindow> window;
  std::unique_ptr<TMainForm> form;
  QTimer watchdog;
  bool closeStrayBoxes = true;
  std::vector<std::string> strayMessages;
};
