#include "render/renderer.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kelvor::view {

namespace {

// The light, in the camera's right, up and back directions: from above the viewer's left.
const Vec3 kLight = Vec3(-0.45, 0.6, 0.66).normalized();
constexpr double kAmbient = 0.38;
constexpr int kStatusLineHeight = 16;
const QColor kBackgroundTop{238, 241, 245};
const QColor kBackgroundBottom{204, 210, 219};
const QColor kOutline{20, 20, 24};

QColor qcolor(Rgba c) { return QColor(c.r, c.g, c.b, c.a); }

QColor shaded(Rgba c, double k) {
  const auto f = [k](std::uint8_t v) { return std::clamp(static_cast<int>(v * k + 0.5), 0, 255); };
  return QColor(f(c.r), f(c.g), f(c.b), c.a);
}

QPointF screen(const Vec3& p) { return {p.x(), p.y()}; }

QFont pixelFont(int pixels, bool fixed = false) {
  QFont f = fixed ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
  f.setPixelSize(pixels);
  return f;
}

void drawLine(QPainter& p, const Vec3& a, const Vec3& b, Rgba colour, float width) {
  p.setPen(QPen(qcolor(colour), width, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(screen(a), screen(b));
}

// Faces and lines among the solids, drawn from the farthest to the nearest.
void drawSorted(QPainter& p, const Scene& s, const Camera& cam, const Eigen::Affine3d& m,
                const RenderOptions& o) {
  const std::optional<Layer>& only = o.only;
  struct Item {
    double depth;
    int index;
    bool line;
  };
  std::vector<Item> items;
  items.reserve(s.faces.size() + s.lines.size());
  std::vector<std::array<Vec3, 4>> projected(s.faces.size());
  const Vec3 back = cam.back();
  const Vec3 light = kLight.x() * cam.right() + kLight.y() * cam.up() + kLight.z() * back;

  for (std::size_t i = 0; i < s.faces.size(); ++i) {
    const Face& f = s.faces[i];
    if ((only && f.layer != *only) || (f.solid && f.normal.dot(back) <= 0)) continue;
    double depth = 0;
    for (int k = 0; k < f.corners; ++k) {
      projected[i][k] = m * f.p[k];
      depth += projected[i][k].z();
    }
    items.push_back({depth / f.corners, static_cast<int>(i), false});
  }
  for (std::size_t i = 0; i < s.lines.size(); ++i) {
    const Line& l = s.lines[i];
    if (l.onTop || l.layer == Layer::Floor || (only && l.layer != *only)) continue;
    items.push_back({(m * ((l.a + l.b) / 2)).z(), static_cast<int>(i), true});
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.depth < b.depth; });

  QPolygonF poly;
  for (const Item& it : items) {
    if (it.line) {
      const Line& l = s.lines[static_cast<std::size_t>(it.index)];
      drawLine(p, m * l.a, m * l.b, l.colour, l.width);
      continue;
    }
    const Face& f = s.faces[static_cast<std::size_t>(it.index)];
    const double lambert = f.normal.dot(light);
    const QColor c = shaded(f.colour, kAmbient + (1 - kAmbient) * (f.solid ? std::max(0.0, lambert)
                                                                           : std::abs(lambert)));
    poly.clear();
    for (int k = 0; k < f.corners; ++k) poly << screen(projected[it.index][k]);
    p.setBrush(c);
    // With antialiasing, an opaque face's own colour on its edges closes the hairline seams
    // between faces; without, neighbouring faces meet exactly.
    if (f.colour.a == 255 && !o.fast) {
      p.setPen(QPen(c, 1));
    } else {
      p.setPen(Qt::NoPen);
    }
    p.drawPolygon(poly);
  }
}

// Top left: the grid's spacing and a bar of a round length.
void drawLegend(QPainter& p, const Scene& s, const Camera& cam) {
  const QLocale locale;
  p.setFont(pixelFont(12));
  p.setPen(qcolor(palette::kText));
  if (s.gridStep > 0) {
    p.drawText(QPointF(12, 20), QStringLiteral("Grid %1 mm").arg(locale.toString(s.gridStep)));
  }
  const double mm = niceStep(1000 / cam.scale());
  const double px = mm * cam.scale();
  const QPointF a(12, 34), b(12 + px, 34);
  p.setPen(QPen(qcolor(palette::kText), 2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(a, b);
  p.drawLine(a - QPointF(0, 4), a + QPointF(0, 4));
  p.drawLine(b - QPointF(0, 4), b + QPointF(0, 4));
  p.drawText(QPointF(b.x() + 6, 38), QStringLiteral("%1 mm").arg(locale.toString(mm)));
}

void drawStatus(QPainter& p, const QStringList& lines, int width, int height) {
  const int band = statusBandHeight(static_cast<int>(lines.size()));
  const QRectF r(0, height - band, width, band);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 225));
  p.drawRect(r);
  p.setPen(QPen(QColor(150, 156, 166), 1));
  p.drawLine(r.topLeft(), r.topRight());
  p.setFont(pixelFont(12, true));
  p.setPen(qcolor(palette::kText));
  for (int i = 0; i < lines.size(); ++i) {
    p.drawText(QPointF(8, r.top() + 4 + kStatusLineHeight * (i + 1) - 4), lines[i]);
  }
}

void drawBanner(QPainter& p, const QString& text, int width, int height) {
  p.fillRect(QRect(0, 0, width, height), QColor(255, 255, 255, 140));
  p.setFont(pixelFont(20));
  const QRectF box(0, height / 2.0 - 24, width, 48);
  p.fillRect(box, QColor(40, 44, 52, 200));
  p.setPen(Qt::white);
  p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

std::vector<QRectF> placeLabels(std::vector<QRectF> boxes) {
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    // Each move goes below a box it met, so a label moves at most once per label before it.
    for (std::size_t tries = 0; tries < i; ++tries) {
      const auto met = std::find_if(boxes.begin(), boxes.begin() + std::ptrdiff_t(i),
                                    [&](const QRectF& b) { return b.intersects(boxes[i]); });
      if (met == boxes.begin() + std::ptrdiff_t(i)) break;
      boxes[i].moveTop(met->bottom());
    }
  }
  return boxes;
}

int statusBandHeight(int lines) { return lines > 0 ? lines * kStatusLineHeight + 8 : 0; }

void render(QPainter& p, const Scene& s, const Camera& cam, const RenderOptions& o) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, !o.fast);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  const int w = cam.width(), h = cam.height();
  if (!o.only) {
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, kBackgroundTop);
    sky.setColorAt(1, kBackgroundBottom);
    p.fillRect(QRect(0, 0, w, h), sky);
  }
  const Eigen::Affine3d m = cam.screenFromWorld();
  const auto wanted = [&](Layer l) { return !o.only || *o.only == l; };

  for (const Line& l : s.lines) {
    if (l.layer == Layer::Floor && wanted(l.layer))
      drawLine(p, m * l.a, m * l.b, l.colour, l.width);
  }
  drawSorted(p, s, cam, m, o);
  for (const Line& l : s.lines) {
    if (l.onTop && wanted(l.layer)) drawLine(p, m * l.a, m * l.b, l.colour, l.width);
  }
  p.setFont(pixelFont(11));
  std::vector<const Label*> labels;
  std::vector<QRectF> boxes;
  const QFontMetricsF metrics(p.font());
  for (const Label& l : s.labels) {
    if (!wanted(l.layer)) continue;
    const QString text = QString::fromStdString(l.text);
    const QPointF at = screen(m * l.at) + QPointF(7, -7);  // the baseline's left end
    labels.push_back(&l);
    boxes.push_back(metrics.boundingRect(text).translated(at));
  }
  boxes = placeLabels(std::move(boxes));
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const QString text = QString::fromStdString(labels[i]->text);
    p.setPen(qcolor(labels[i]->colour));
    p.drawText(boxes[i].topLeft() - metrics.boundingRect(text).topLeft(), text);
  }
  // Markers last: nothing hides where a joint or the tool centre point is.
  for (const Marker& k : s.markers) {
    if (!wanted(k.layer)) continue;
    p.setPen(QPen(kOutline, 1));
    p.setBrush(qcolor(k.fill));
    p.drawEllipse(screen(m * k.at), k.radius, k.radius);
  }
  if (!o.only) {
    drawLegend(p, s, cam);
    if (!o.banner.isEmpty()) drawBanner(p, o.banner, w, h);
    if (!o.statusLines.isEmpty()) drawStatus(p, o.statusLines, w, h);
  }
  p.restore();
}

QImage renderImage(const Scene& s, const Camera& cam, const RenderOptions& o) {
  QImage image(cam.width(), cam.height(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  render(p, s, cam, o);
  p.end();
  return image;
}

}  // namespace kelvor::view
