#include "app/resources/icon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

// The mast stands on the bottom edge and tapers to its tip, from where the
// waves spread.
constexpr QPointF kTip(24.0, 13.0);
constexpr double kBaseY = 46.0;
constexpr double kBaseHalfWidth = 8.5;
constexpr double kTopHalfWidth = 1.5;
constexpr int kSections = 5;

double halfWidthAt(double y) {
    const double t = (y - kTip.y()) / (kBaseY - kTip.y());
    return kTopHalfWidth + t * (kBaseHalfWidth - kTopHalfWidth);
}

void drawMast(QPainter& p) {
    const QColor grey(0x70, 0x74, 0x78);
    p.setPen(QPen(grey, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double x = kTip.x();
    p.drawLine(QPointF(x - kTopHalfWidth, kTip.y()), QPointF(x - kBaseHalfWidth, kBaseY));
    p.drawLine(QPointF(x + kTopHalfWidth, kTip.y()), QPointF(x + kBaseHalfWidth, kBaseY));
    // Rungs and cross braces make the lattice.
    p.setPen(QPen(grey, 1.0, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < kSections; ++i) {
        const double top = kTip.y() + (kBaseY - kTip.y()) * i / kSections;
        const double bottom = kTip.y() + (kBaseY - kTip.y()) * (i + 1) / kSections;
        const double wt = halfWidthAt(top), wb = halfWidthAt(bottom);
        p.drawLine(QPointF(x - wb, bottom), QPointF(x + wb, bottom));
        p.drawLine(QPointF(x - wt, top), QPointF(x + wb, bottom));
        p.drawLine(QPointF(x + wt, top), QPointF(x - wb, bottom));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(grey);
    p.drawEllipse(kTip + QPointF(0, -2.0), 2.6, 2.6);
}

void drawWaves(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    const QColor blue(0x1E, 0x6F, 0xE0);
    const double radii[] = {7.0, 12.0, 17.0};
    for (double r : radii) {
        p.setPen(QPen(blue, 2.2, Qt::SolidLine, Qt::RoundCap));
        const QRectF circle(kTip.x() - r, kTip.y() - 2.0 - r, 2 * r, 2 * r);
        // Angles in sixteenths of a degree, counter-clockwise from 3 o'clock.
        p.drawArc(circle, -35 * 16, 70 * 16);  // right
        p.drawArc(circle, 145 * 16, 70 * 16);  // left
    }
}

}  // namespace

std::vector<uint32_t> drawRadioMastIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // The drawing is made for kIconSize pixels; larger sizes scale it.
        painter.scale(double(size) / kIconSize, double(size) / kIconSize);
        drawMast(painter);
        drawWaves(painter);
    }
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<uint32_t> pixels(size * size);
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(straight.constScanLine(y));
        std::copy(row, row + size, pixels.begin() + y * size);
    }
    return pixels;
}
