// SPDX-License-Identifier: GPL-3.0-or-later
// A PNG packed row by row, so that a picture larger than memory can be written band by band: 8-bit
// RGB, each row filtered by its difference from the row above and deflated as runs.
#pragma once

#include <QByteArray>
#include <QRgb>
#include <QSize>

#include <memory>

namespace picturefile {

class PngEncoder {
 public:
  // The rows are packed with the zlib level and strategy chosen by measurement (make bench):
  // the image's runs, found fast, after the filter that makes rows like the one above zero.
  explicit PngEncoder(QSize size);
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // The picture's next row: `size.width()` opaque pixels. After the last row the file is
  // complete. False when zlib fails (out of memory).
  bool addRow(const QRgb* pixels);
  int rowsAdded() const { return rows_; }
  bool complete() const;

  // The bytes of the file packed so far and not yet taken.
  QByteArray takeBytes();

 private:
  // Puts the deflated bytes out as chunks; all of them at the end.
  bool deflateRow(int flush);
  void appendChunk(const char type[4], const char* data, int size);

  struct Stream;
  std::unique_ptr<Stream> stream_;
  QSize size_;
  int rows_ = 0;
  QByteArray above_;     // the row above, as RGB bytes
  QByteArray row_;       // this row: the filter's byte, then its RGB bytes
  QByteArray deflated_;  // what zlib made, not yet a chunk
  QByteArray bytes_;     // the file's bytes, not yet taken
};

}  // namespace picturefile
