#include "terminal/widgets/glyph_painter.h"

#include <QGlyphRun>
#include <QPainter>

namespace kestrova {

GlyphPainter::GlyphPainter(const QFont& font)
    : font_(font), underlined_(font), metrics_(font), raw_font_(QRawFont::fromFont(font)) {
  underlined_.setUnderline(true);
  if (!raw_font_.isValid()) return;
  for (char16_t c = 32; c < kCached; ++c) {
    const QList<quint32> glyph = raw_font_.glyphIndexesForString(QString(QChar(c)));
    if (glyph.size() != 1 || glyph[0] == 0) continue;
    glyphs_[c] = glyph[0];
    advances_[c] = raw_font_.advancesForGlyphIndexes(glyph).value(0).x();
    has_glyph_[c] = true;
  }
}

bool GlyphPainter::IsCached(QStringView text) const {
  for (const QChar c : text) {
    if (c.unicode() >= kCached || !has_glyph_[c.unicode()]) return false;
  }
  return true;
}

qreal GlyphPainter::Advance(QStringView text) const {
  if (!IsCached(text)) return metrics_.horizontalAdvance(text.toString());
  qreal width = 0;
  for (const QChar c : text) width += advances_[c.unicode()];
  return width;
}

qreal GlyphPainter::Draw(QPainter& painter, qreal x, qreal y, QStringView text,
                         bool underline) const {
  if (!IsCached(text)) {
    painter.setFont(underline ? underlined_ : font_);
    const QString shown = text.toString();
    painter.drawText(QPointF(x, y), shown);
    return metrics_.horizontalAdvance(shown);
  }
  glyph_buffer_.resize(text.size());
  position_buffer_.resize(text.size());
  qreal width = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    glyph_buffer_[i] = glyphs_[c];
    position_buffer_[i] = QPointF(width, 0);
    width += advances_[c];
  }
  QGlyphRun run;
  run.setRawFont(raw_font_);
  run.setGlyphIndexes(glyph_buffer_);
  run.setPositions(position_buffer_);
  run.setUnderline(underline);
  painter.drawGlyphRun(QPointF(x, y), run);
  return width;
}

}  // namespace kestrova
