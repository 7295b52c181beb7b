// Draws the console's artwork (backgrounds, tab images and icons) into images/.
// Our own drawings, made with QPainter; run after changing a design and commit the PNGs:
//   resources/make_artwork.sh
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

const QColor kNavy(18, 53, 91);
const QColor kTeal(31, 111, 139);
const QColor kAccent(38, 150, 190);
const QColor kPaper(247, 249, 252);
const QColor kLine(207, 217, 227);

QImage NewImage(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
  const QString path = folder + "/" + name;
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// The product's mark: a shield with a funnel cut out of it (a filter guarding a site).
void DrawShield(QPainter& p, const QRectF& box, const QColor& fill, const QColor& mark) {
  const qreal w = box.width();
  const qreal h = box.height();
  QPainterPath shield;
  shield.moveTo(box.left() + w * 0.5, box.top());
  shield.cubicTo(box.left() + w * 0.7, box.top() + h * 0.1, box.left() + w * 0.9,
                 box.top() + h * 0.1, box.right(), box.top() + h * 0.12);
  shield.cubicTo(box.right(), box.top() + h * 0.6, box.left() + w * 0.8, box.top() + h * 0.85,
                 box.left() + w * 0.5, box.bottom());
  shield.cubicTo(box.left() + w * 0.2, box.top() + h * 0.85, box.left(), box.top() + h * 0.6,
                 box.left(), box.top() + h * 0.12);
  shield.cubicTo(box.left() + w * 0.1, box.top() + h * 0.1, box.left() + w * 0.3,
                 box.top() + h * 0.1, box.left() + w * 0.5, box.top());
  p.setPen(Qt::NoPen);
  QLinearGradient shade(box.topLeft(), box.bottomRight());
  shade.setColorAt(0, fill.lighter(125));
  shade.setColorAt(1, fill);
  p.setBrush(shade);
  p.drawPath(shield);
  QPainterPath funnel;
  funnel.moveTo(box.left() + w * 0.24, box.top() + h * 0.28);
  funnel.lineTo(box.left() + w * 0.76, box.top() + h * 0.28);
  funnel.lineTo(box.left() + w * 0.56, box.top() + h * 0.52);
  funnel.lineTo(box.left() + w * 0.56, box.top() + h * 0.74);
  funnel.lineTo(box.left() + w * 0.44, box.top() + h * 0.80);
  funnel.lineTo(box.left() + w * 0.44, box.top() + h * 0.52);
  funnel.closeSubpath();
  p.setBrush(mark);
  p.drawPath(funnel);
}

QImage MainBackground() {
  QImage image = NewImage(700, 498);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient body(0, 0, 0, 498);
  body.setColorAt(0, QColor(236, 242, 247));
  body.setColorAt(1, QColor(225, 233, 241));
  p.fillRect(image.rect(), body);

  // Header band with a faint diagonal weave.
  QLinearGradient header(0, 0, 700, 0);
  header.setColorAt(0, kNavy);
  header.setColorAt(1, kTeal);
  p.fillRect(QRect(0, 0, 700, 58), header);
  p.setPen(QPen(QColor(255, 255, 255, 14), 1));
  for (int x = -60; x < 760; x += 12) {
    p.drawLine(x, 58, x + 58, 0);
  }
  p.fillRect(QRect(0, 58, 700, 3), kAccent);
  DrawShield(p, QRectF(18, 9, 34, 40), QColor(235, 244, 250), kTeal);
  QFont wordmark("DejaVu Sans", 17, QFont::Bold);
  p.setFont(wordmark);
  p.setPen(Qt::white);
  p.drawText(QRect(62, 8, 140, 28), Qt::AlignLeft | Qt::AlignVCenter, "Orvane");

  // Navigation column.
  QLinearGradient column(0, 61, 130, 61);
  column.setColorAt(0, QColor(250, 252, 254));
  column.setColorAt(1, QColor(238, 243, 248));
  p.fillRect(QRect(0, 61, 130, 413), column);
  p.fillRect(QRect(130, 61, 1, 413), kLine);

  // Page card with a soft shadow.
  for (int i = 4; i >= 1; --i) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 50, 80, 10));
    p.drawRoundedRect(QRectF(134 - i + 2, 64 - i + 3, 554 + 2 * i, 407 + 2 * i), 6 + i, 6 + i);
  }
  p.setBrush(Qt::white);
  p.setPen(QPen(kLine, 1));
  p.drawRoundedRect(QRectF(134.5, 64.5, 554, 407), 6, 6);

  // Footer strip.
  p.fillRect(QRect(0, 474, 700, 24), QColor(222, 230, 238));
  p.fillRect(QRect(0, 474, 700, 1), kLine);
  return image;
}

QImage LoaderBackground() {
  QImage image = NewImage(400, 250);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 400, 250);
  back.setColorAt(0, kNavy);
  back.setColorAt(1, kTeal);
  p.fillRect(image.rect(), back);
  QRadialGradient glow(300, 40, 220);
  glow.setColorAt(0, QColor(255, 255, 255, 40));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(image.rect(), glow);
  p.setPen(QPen(QColor(255, 255, 255, 12), 1));
  for (int x = -250; x < 420; x += 14) {
    p.drawLine(x, 250, x + 250, 0);
  }
  DrawShield(p, QRectF(40, 48, 74, 88), QColor(235, 244, 250), kTeal);
  p.setPen(Qt::white);
  p.setFont(QFont("DejaVu Sans", 30, QFont::Bold));
  p.drawText(QRect(132, 52, 250, 50), Qt::AlignLeft | Qt::AlignVCenter, "Orvane");
  p.setFont(QFont("DejaVu Sans", 10));
  p.setPen(QColor(205, 228, 240));
  p.drawText(QRect(134, 100, 250, 24), Qt::AlignLeft | Qt::AlignVCenter, "Web content filter  2.1");
  p.fillRect(QRect(40, 160, 320, 1), QColor(255, 255, 255, 70));
  p.setPen(QPen(QColor(255, 255, 255, 90), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, 399, 249));
  return image;
}

// Tab images of the page containers: normal, pressed (current) and mouse-over.
QImage TabImage(const QColor& top, const QColor& bottom, const QColor& border, bool accent) {
  QImage image = NewImage(65, 25);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(0.5, 0.5, 64, 28), 5, 5);
  QLinearGradient fill(0, 0, 0, 25);
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.setClipRect(QRect(0, 0, 65, 25));
  p.setPen(QPen(border, 1));
  p.setBrush(fill);
  p.drawPath(shape);
  if (accent) {
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(1, 1, 63, 4), 2, 2);
  }
  return image;
}

void IconDisc(QPainter& p, const QColor& color) {
  QLinearGradient fill(0, 0, 32, 32);
  fill.setColorAt(0, color.lighter(130));
  fill.setColorAt(1, color);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 8, 8);
}

QImage SettingsIcon() {
  QImage image = NewImage(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  IconDisc(p, QColor(41, 121, 201));
  p.translate(16, 16);
  p.setBrush(Qt::white);
  for (int i = 0; i < 8; ++i) {
    p.drawRoundedRect(QRectF(-2.5, -11, 5, 6), 1, 1);
    p.rotate(45);
  }
  p.drawEllipse(QPointF(0, 0), 7.5, 7.5);
  p.setBrush(QColor(41, 121, 201));
  p.drawEllipse(QPointF(0, 0), 3.2, 3.2);
  return image;
}

QImage KeywordsIcon() {
  QImage image = NewImage(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  IconDisc(p, QColor(214, 110, 36));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(8, 6, 16, 20), 2, 2);
  p.setPen(QPen(QColor(214, 110, 36), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int y = 11; y <= 21; y += 5) {
    p.drawLine(QPointF(11, y), QPointF(21, y));
  }
  return image;
}

QImage ListsIcon() {
  QImage image = NewImage(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  IconDisc(p, QColor(60, 72, 88));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 34, 40));
  p.drawRoundedRect(QRectF(6, 7, 9, 18), 2, 2);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(17, 7, 9, 18), 2, 2);
  p.setPen(QPen(QColor(220, 60, 50), 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(8.5, 13.5), QPointF(12.5, 17.5));
  p.drawLine(QPointF(12.5, 13.5), QPointF(8.5, 17.5));
  p.setPen(QPen(QColor(40, 150, 70), 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 16), QPointF(21, 18.5));
  p.drawLine(QPointF(21, 18.5), QPointF(24.5, 13));
  return image;
}

QImage LogsIcon() {
  QImage image = NewImage(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  IconDisc(p, QColor(38, 150, 110));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(7, 17, 4, 8), 1, 1);
  p.drawRoundedRect(QRectF(14, 11, 4, 14), 1, 1);
  p.drawRoundedRect(QRectF(21, 7, 4, 18), 1, 1);
  return image;
}

QImage AboutIcon() {
  QImage image = NewImage(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  IconDisc(p, QColor(120, 86, 190));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16, 9.5), 2.4, 2.4);
  p.drawRoundedRect(QRectF(13.8, 13.5, 4.4, 11.5), 1.5, 1.5);
  return image;
}

QImage AppIcon(int size) {
  QImage image = NewImage(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient back(0, 0, 64, 64);
  back.setColorAt(0, kTeal);
  back.setColorAt(1, kNavy);
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
  DrawShield(p, QRectF(14, 10, 36, 44), QColor(235, 244, 250), kTeal);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("images");
  QDir().mkpath(folder);
  bool ok = true;
  ok &= Save(MainBackground(), folder, "main_background.png");
  ok &= Save(LoaderBackground(), folder, "loader_background.png");
  ok &= Save(TabImage(QColor(250, 251, 253), QColor(228, 234, 240), QColor(184, 198, 211), false),
             folder, "tab_normal.png");
  ok &= Save(TabImage(QColor(236, 245, 252), QColor(211, 230, 246), QColor(127, 167, 201), false),
             folder, "tab_over.png");
  ok &= Save(TabImage(Qt::white, QColor(246, 249, 252), QColor(127, 167, 201), true), folder,
             "tab_pressed.png");
  ok &= Save(SettingsIcon(), folder, "icon_settings.png");
  ok &= Save(KeywordsIcon(), folder, "icon_keywords.png");
  ok &= Save(ListsIcon(), folder, "icon_lists.png");
  ok &= Save(LogsIcon(), folder, "icon_logs.png");
  ok &= Save(AboutIcon(), folder, "icon_about.png");
  ok &= Save(AppIcon(64), folder, "app_icon.png");
  ok &= Save(AppIcon(256), folder, "app_icon_256.png");
  return ok ? 0 : 1;
}
