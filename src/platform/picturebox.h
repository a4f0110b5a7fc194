// The picture box: a framed surface with a back colour, a user coordinate scale and a persistent
// drawing layer that stays until Cls, across repaints and covering. The drawing is a transparent
// layer over the back colour, so changing BackColor keeps what is drawn.
#pragma once

#include "raster.h"
#include "surface.h"

#include <QColor>
#include <QFrame>
#include <QImage>

#include <cstdint>
#include <vector>

namespace platform {

// The Qt colour of an OLE colour; 0x800000nn takes the window system's colour nn from the palette.
QColor toQColor(OleColor color);

class PictureBox : public QFrame, public DrawingSurface {
  Q_OBJECT
 public:
  enum class Border { Sunken3D, FlatLine };

  explicit PictureBox(Border border, QWidget* parent = nullptr);

  // Sets the user scale: (x1, y1) is the top-left inner corner, (x2, y2) the bottom-right.
  void Scale(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2);

  void Cls() override;
  void setFillColor(OleColor color) override;
  long long Circle(float x, float y, float radius) override;
  long long Circle(float x, float y, float radius, OleColor outline);
  bool fillsSolid() const override { return fillSolid_; }
  QRectF visibleArea() const override;

  OleColor BackColor() const { return backColor_; }
  void setBackColor(OleColor color);
  void setFillSolid(bool solid) { fillSolid_ = solid; }

  // What is drawn, without the back colour, in device pixels.
  const QImage& drawing() const { return layer_; }

  // Pointer position in user units, for a position in widget coordinates.
  QPointF toUser(QPointF widgetPos) const;

 signals:
  // Button and shift follow the runtime's bit values: left 1, right 2, middle 4; shift 1,
  // control 2, alt 4. X and Y are in user units.
  void mouseDown(int button, int shift, float x, float y);
  void mouseMove(int button, int shift, float x, float y);
  void mouseUp(int button, int shift, float x, float y);
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Allocates the layer to the inner area at the current device-pixel ratio, keeping its content.
  void ensureLayer();
  long long drawCircle(float x, float y, float radius, QRgb outline);
  void requestRepaint();
  double scaleWidth() const;
  double scaleHeight() const;

  QImage layer_;
  CircleRasterizer rasterizer_;
  // Pixels drawn on since the last Cls, so that clearing touches only those; `drawnAll_` once
  // that is most of the layer.
  std::vector<QRect> drawn_;
  qint64 drawnArea_ = 0;
  bool drawnAll_ = false;
  bool repaintPending_ = false;

  OleColor backColor_ = 0x00FFFFFF;
  QRgb fillRgb_ = 0xFF000000;
  QRgb foreRgb_ = 0xFF000000;  // outline of circles drawn without a colour: black
  bool fillSolid_ = false;
  bool userScale_ = false;
  double scaleLeft_ = 0.0;
  double scaleTop_ = 0.0;
  double scaleWidth_ = 0.0;
  double scaleHeight_ = 0.0;
};

}  // namespace platform
