// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing canvas without a widget: the persistent drawing of a picture box, its user scale and
// colours, what changed on it, and the opaque image that the screen shows of it. Everything here is
// in the canvas's own device pixels, (0, 0) at the top-left corner of the drawing area.
#pragma once

#include "raster/damage.h"
#include "raster/raster.h"
#include "raster/screenimage.h"
#include "surface/surface.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

namespace platform {

// The Qt colour of an OLE colour; 0x800000nn takes the window system's colour nn from the palette.
QColor toQColor(OleColor color);

// The user scale: the user coordinates of the drawing area's corners. Without one, the scale is
// twips of the logical size.
struct UserScale {
  bool set = false;
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;
};

class Canvas : public DrawingSurface {
 public:
  // Sets the drawing area to `devicePixels` at `devicePixelRatio` device pixels per logical pixel.
  // What is drawn is kept, scaled to the new size.
  void resize(QSize devicePixels, double devicePixelRatio);
  // The drawing area, in device pixels; a band canvas holds some of its rows.
  QSize size() const { return area_; }
  double devicePixelRatio() const { return devicePixelRatio_; }
  // A blank canvas of `devicePixels` at `devicePixelRatio` with this one's user scale, colours and
  // fill style: the same picture drawn at another density. Null-sized when there is not memory
  // enough for its pixels.
  Canvas blankLike(QSize devicePixels, double devicePixelRatio) const;
  // The same for a band canvas of `rows` rows (at most the area's), at first its top rows. Its
  // layer is null when there is not memory enough for it.
  Canvas bandLike(QSize devicePixels, double devicePixelRatio, int rows) const;
  // Moves a band canvas to rows [first, first + its rows) of its area, cut to the area, clearing
  // what it has drawn.
  void moveBandTo(int first);
  // The area's first row that the canvas holds: 0 unless it is a band canvas.
  int firstRow() const { return firstRow_; }
  // Clears rows [first, end) of the layer that nothing has been drawn on yet, so that the system
  // gives their memory now, a slice at a time, rather than page by page while they are drawn and
  // read (measured: a tenth of a 16384 poster's packing).
  void prepareRows(int first, int end);

  // Sets the user scale: (x1, y1) is the top-left corner, (x2, y2) the bottom-right. Without one,
  // the scale is twips of the logical size.
  void Scale(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2);
  // The user coordinates of a position in device pixels.
  QPointF toUser(QPointF devicePos) const;
  // The part of the user coordinate space that the drawing area shows, edge to edge.
  QRectF userArea() const;

  void Cls() override;
  void setFillColor(OleColor color) override;
  OleColor FillColor() const { return fillColor_; }
  // Outline of circles drawn without a colour.
  static constexpr QRgb kForeColor = 0xFF000000;
  void Circle(float x, float y, float radius) override;
  void Circle(float x, float y, float radius, OleColor outline);
  bool fillsSolid() const override { return fillSolid_; }
  QRectF visibleArea() const override;
  void setFillSolid(bool solid) { fillSolid_ = solid; }

  int maxStrips() const override;
  void beginStrips(int strips, const QRectF& reach) override;
  void drawDiscs(std::span<const Disc> discs, float radius, int strip) override;
  void endStrips() override;
  double devicePixelsPerUnit() const override;

  OleColor BackColor() const { return backColor_; }
  // Keeps what is drawn, now on the new colour.
  void setBackColor(OleColor color);

  // What is drawn, without the back colour: transparent where nothing is. A band canvas's rows.
  const QImage& drawing() const { return layer_; }
  // Whether nothing has been drawn since the last Cls.
  bool isBlank() const { return drawn_.empty(); }

  // The back colour with the drawing over it, opaque, as of the last compose().
  const QImage& screen() const { return screen_.image(); }
  // What the screen shows of the canvas now, composed afresh: the back colour with the drawing
  // over it, opaque, in device pixels. Leaves what the screen is yet to be told of as it is.
  QImage picture() const;
  bool hasChanges() const { return !unshown_.empty(); }
  // The bounding rectangle of all that changed since the last compose(); cheap to ask for at
  // every change, where compose() does the work.
  QRect changedBounds() const { return unshown_.bounds(layer_.rect()); }
  // Called when the canvas changes after a compose(), so that a view can ask to be repainted.
  void setChangeListener(std::function<void()> listener) { onChange_ = std::move(listener); }
  // Brings screen() up to date and returns the rectangles that changed since the last call, as
  // ScreenImage::compose() does.
  const std::vector<QRect>& compose();

 private:
  void drawCircle(float x, float y, float radius, QRgb outline);
  // Notes a rectangle drawn on, for clearing and composing.
  void noteDrawn(const QRect& touched);
  // The circle's centre and radius in device pixels, and how it is drawn.
  struct DeviceCircle {
    double cx;
    double cy;
    double r;
    CircleStyle style;
  };
  DeviceCircle toDevice(float x, float y, float radius, QRgb outline, QRgb fill) const;
  // Device pixels that a circle's outline, as wide as a logical pixel, and its antialiased edge
  // reach past the circle's path.
  double edgeReach() const { return devicePixelRatio_ / 2 + 2; }
  // Something changed that the screen does not show yet; the listener hears of the first.
  void changed(const QRect& rect);
  void changedAll();
  double scaleWidth() const;
  double scaleHeight() const;
  // The layer's pixels, in the area's rows.
  ImageView layerView() { return ImageView(layer_, firstRow_, area_); }

  QSize area_;        // the drawing area, device pixels
  int firstRow_ = 0;  // the area's row that the layer's first row holds
  QImage layer_;      // premultiplied ARGB, transparent where nothing is drawn
  double devicePixelRatio_ = 1.0;
  // One rasteriser a strip; the first also draws single circles.
  std::vector<CircleRasterizer> rasterizers_ = std::vector<CircleRasterizer>(1);
  // While drawing in strips: each strip's rows [first, second) and what it drew on.
  std::vector<std::pair<int, int>> stripRows_;
  std::vector<Damage> stripDrawn_;
  std::vector<std::vector<BatchCircle>> stripCircles_;  // each strip's circles of a piece
  ImageView stripView_;  // the layer's pixels, taken by beginStrips()

  Damage drawn_;    // drawn on since the last Cls, so that clearing touches only that
  Damage unshown_;  // changed since the last compose(), which the screen does not show yet
  ScreenImage screen_;
  std::function<void()> onChange_;

  OleColor backColor_ = 0x00FFFFFF;
  OleColor fillColor_ = 0;
  bool fillSolid_ = false;
  UserScale scale_;
};

}  // namespace platform
