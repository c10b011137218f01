// Draws the traffic view's text fast: ASCII, nearly all that traffic shows, goes straight from
// cached glyphs of the font to the screen without text shaping; anything else takes Qt's full
// text layout.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QStringView>
#include <array>

class QPainter;

namespace kestrova {

class GlyphPainter {
 public:
  explicit GlyphPainter(const QFont& font);

  // The width `text` takes.
  qreal Advance(QStringView text) const;
  // Draws `text` from `x` on the baseline `y`; returns its width.
  qreal Draw(QPainter& painter, qreal x, qreal y, QStringView text, bool underline) const;

 private:
  static constexpr int kCached = 128;
  bool IsCached(QStringView text) const;

  QFont font_;
  QFont underlined_;
  QFontMetricsF metrics_;
  QRawFont raw_font_;
  std::array<quint32, kCached> glyphs_{};
  std::array<qreal, kCached> advances_{};
  std::array<bool, kCached> has_glyph_{};
  // Reused by every run drawn.
  mutable QList<quint32> glyph_buffer_;
  mutable QList<QPointF> position_buffer_;
};

}  // namespace kestrova
