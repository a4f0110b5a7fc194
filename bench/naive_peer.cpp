// SPDX-License-Identifier: GPL-3.0-or-later
// The naive way to animate the same pattern, kept as the yardstick of the window benchmark: a
// window with one 685 x 685 image that every step clears and fills with the same circles, 602 of
// them (antialiased QPainter::drawEllipse, 1-pixel black outline, the three band colours), then
// asks for a repaint of the whole image and lets the events run. It draws at the screen's
// device-pixel ratio, as the program does.
//
// Usage: naive_peer SECONDS [ROW0 SIZE STEP]. Runs that long and prints the steps it made, its
// CPU seconds and the seconds those steps took; the optional numbers are those of rows 0 to 2 (200,
// 2 and 20 unless given). Or: naive_peer --bar X Y WIDTH HEIGHT. Shows the pattern once and a
// horizontal scroll bar at that place (window pixels, the window 1040 x 720) whose every change
// redraws it at its value in hundredths of a degree, the naive way: the yardstick of how soon a
// click shows.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kSize = 685;
constexpr double kPi = 3.141592;

class Surface : public QWidget {
 public:
  Surface() {
    setWindowTitle(QStringLiteral("naive peer"));
    resize(kSize + 20, kSize + 20);
  }

  double row0 = 200;
  double size = 2;
  double radiusStep = 20;

  void step(double angle) {
    const qreal ratio = devicePixelRatioF();
    if (image_.isNull() || image_.devicePixelRatio() != ratio) {
      image_ = QImage(QSize(kSize, kSize) * ratio, QImage::Format_ARGB32_Premultiplied);
      image_.setDevicePixelRatio(ratio);
    }
    image_.fill(Qt::white);
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    const double perUnit = kSize / 200.0;
    const double radius = size / 5 * perUnit;
    const QColor colours[3] = {Qt::red, Qt::blue, Qt::yellow};
    const double total = 3 * row0;
    const double bounds[4] = {1, total / 3, 2 * total / 3, total};
    for (int band = 0; band < 3; ++band) {
      painter.setBrush(colours[band]);
      for (double i = bounds[band]; i <= bounds[band + 1]; ++i) {
        const double theta = i * angle / 180 * kPi + 0.1;
        const double x = i * std::cos(theta) * radiusStep / 100;
        const double y = i * std::sin(theta) * radiusStep / 100;
        painter.drawEllipse(QPointF((x + 100) * perUnit, (y + 100) * perUnit), radius, radius);
      }
    }
    painter.end();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawImage(10, 10, image_);
  }

 private:
  QImage image_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5;
  Surface surface;
  if (argc == 6 && std::strcmp(argv[1], "--bar") == 0) {
    surface.resize(1040, 720);
    auto* bar = new QScrollBar(Qt::Horizontal, &surface);
    bar->setGeometry(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                     std::atoi(argv[5]));
    bar->setRange(0, 18000);
    bar->setValue(13750);
    QObject::connect(bar, &QScrollBar::valueChanged, &surface,
                     [&surface](int value) { surface.step(value / 100.0); });
    surface.show();
    surface.step(137.5);
    return QApplication::exec();
  }
  if (argc == 5) {
    surface.row0 = std::atof(argv[2]);
    surface.size = std::atof(argv[3]);
    surface.radiusStep = std::atof(argv[4]);
  }
  surface.show();
  QElapsedTimer timer;
  timer.start();
  long long steps = 0;
  int angle = 13750;
  while (timer.elapsed() < seconds * 1000) {
    QApplication::processEvents();
    angle = angle >= 17996 ? 0 : angle + 1;
    surface.step(angle / 100.0);
    ++steps;
  }
  // The run ends with a whole step: a second or more at the heaviest loads, which a count of the
  // steps in the time asked for would round away.
  std::printf("%lld %f %f\n", steps, static_cast<double>(std::clock()) / CLOCKS_PER_SEC,
              timer.nsecsElapsed() / 1e9);
  return 0;
}
