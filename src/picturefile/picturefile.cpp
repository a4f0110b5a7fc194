// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefile/picturefile.h"

#include <QImageWriter>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <initializer_list>

namespace picturefile {

namespace {

// How many circles are written between two calls of the monitor.
constexpr long long kCirclesBetweenChecks = 65536;

// A user coordinate with three decimals, which is a hundredth of a pixel of the largest poster,
// without trailing zeros.
void appendNumber(QByteArray& out, double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  const char* end = result.ptr;
  while (end > text && end[-1] == '0') --end;
  if (end > text && end[-1] == '.') --end;
  if (end - text == 2 && text[0] == '-' && text[1] == '0') {
    out.append('0');
    return;
  }
  out.append(text, end - text);
}

// Numbers, each after its own text in `before`.
void appendNumbers(QByteArray& out, std::initializer_list<double> values,
                   std::initializer_list<const char*> before) {
  const char* const* text = before.begin();
  for (const double value : values) {
    out += *text++;
    appendNumber(out, value);
  }
}

QByteArray colourOf(platform::OleColor color) {
  return platform::toQColor(color).name().toLatin1();
}

}  // namespace

QImage drawPoster(const pattern::ParameterSet& parameters, const platform::Canvas& surface,
                  int side, const pattern::DrawOptions& options,
                  std::optional<platform::RuntimeError::Number>* error) {
  const QSize size = posterSize(surface, side);
  if (size.isEmpty()) return {};
  const double ratio = static_cast<double>(side) / surface.size().width();
  platform::Canvas poster = surface.blankLike(size, surface.devicePixelRatio() * ratio);
  if (poster.size() != size) return {};
  try {
    pattern::drawPattern(parameters, poster, options);
  } catch (const platform::RuntimeError& raised) {
    // The surface shows the circles up to the error; so does the poster.
    if (error) *error = raised.number();
  }
  poster.compose();
  return poster.screen();
}

WriterResult writeSvg(QIODevice& out, const pattern::ParameterSet& parameters,
                      const platform::Canvas& surface, int side, pattern::DrawMonitor* monitor,
                      std::optional<platform::RuntimeError::Number>* error) {
  const pattern::DrawingPlan plan = pattern::planDrawing(parameters, surface);
  if (error) *error = plan.error;
  // What the surface shows, edge to edge: its user area, without the margin that the renderer
  // looks into for circles whose edges reach in.
  const QRectF area = surface.userArea();
  const QSize shown = surface.size();
  const int height = shown.isEmpty()
                         ? side
                         : static_cast<int>(std::lround(static_cast<double>(side) * shown.height() /
                                                        shown.width()));
  // The outline is one of the surface's logical pixels wide.
  const double logicalWidth = shown.isEmpty() ? 1 : shown.width() / surface.devicePixelRatio();
  const double penWidth = area.width() / logicalWidth;

  QByteArray text;
  text.reserve(1 << 20);
  const auto flush = [&] {
    const bool ok = out.write(text) == text.size();
    text.clear();
    return ok;
  };
  text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" ";
  text += "width=\"" + QByteArray::number(side) + "\" height=\"" + QByteArray::number(height) +
          "\" viewBox=\"";
  appendNumbers(text, {area.left(), area.top(), area.width(), area.height()}, {"", " ", " ", " "});
  text += "\">\n<rect";
  appendNumbers(text, {area.left(), area.top(), area.width(), area.height()},
                {" x=\"", "\" y=\"", "\" width=\"", "\" height=\""});
  text += "\" fill=\"" + colourOf(surface.BackColor()) + "\"/>\n";

  const long long total = plan.circles();
  long long written = 0;
  for (int s = 0; s < plan.spanCount; ++s) {
    const pattern::DrawingPlan::Span& span = plan.spans[s];
    text += "<g fill=\"" + colourOf(pattern::kBandColors[span.band]) +
            "\" stroke=\"#000000\" stroke-width=\"";
    appendNumber(text, penWidth);
    text += "\">\n";
    double i = span.from;
    for (long long c = 0; c < span.count; ++c, i += 1) {
      const pattern::PointPosition p =
          pattern::pointAt(i, parameters.DivergenceAngle, parameters.RadiusStep);
      const float x = pattern::toSingle(p.x);
      const float y = pattern::toSingle(p.y);
      if (std::isfinite(x) && std::isfinite(y)) {
        text += "<circle";
        appendNumbers(text, {x, y, plan.radius}, {" cx=\"", "\" cy=\"", "\" r=\""});
        text += "\"/>\n";
      }
      if (++written % kCirclesBetweenChecks == 0) {
        if (!flush()) return WriterResult::failure();
        if (monitor && !monitor->keepGoing(static_cast<double>(written) / total)) {
          return WriterResult::cancel();
        }
      }
    }
    text += "</g>\n";
  }
  text += "</svg>\n";
  return flush() ? WriterResult::success() : WriterResult::failure();
}

WriterResult writePng(QIODevice& out, const QImage& image) {
  if (QImageWriter(&out, "png").write(image)) return WriterResult::success();
  return WriterResult::failure(QStringLiteral("Das Bild ließ sich nicht als PNG schreiben."));
}

QString proposedName(const pattern::ParameterSet& parameters, const QString& suffix) {
  static const QLocale german(QLocale::German, QLocale::Germany);
  QLocale numbers = german;
  numbers.setNumberOptions(QLocale::OmitGroupSeparator);
  return QStringLiteral("Quirlbild %1° %2.%3")
      .arg(numbers.toString(parameters.DivergenceAngle, 'f', 2),
           numbers.toString(parameters.PointTotal / 3, 'g', 15), suffix);
}

}  // namespace picturefile
