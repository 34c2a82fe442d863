#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QResource>
#include <QtMath>

#include <cstring>

namespace Pictures {

QImage routeMark()
{
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(QColor(0x2A, 0x2A, 0x2A));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(15, 4);
    arrow.lineTo(25, 15);
    arrow.lineTo(19, 15);
    arrow.lineTo(19, 26);
    arrow.lineTo(11, 26);
    arrow.lineTo(11, 15);
    arrow.lineTo(5, 15);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x10, 0x30, 0x08), 1.5));
    p.setBrush(QColor(0xB5, 0xE6, 0x1D));
    p.drawPath(arrow);
    return image;
}

QImage logo()
{
    // A picture, not drawn in code: drawing its lettering and waves at every
    // start cost as much time as building the rest of the window.
    constexpr int kSide = 152;
    static const QByteArray kHeader = QByteArrayLiteral("P6\n152 152\n255\n");
    const QByteArray stored = QResource(QStringLiteral(":/pictures/logo.ppm")).uncompressedData();
    QImage image(kSide, kSide, QImage::Format_RGB888);
    if (!stored.startsWith(kHeader) || stored.size() != kHeader.size() + kSide * kSide * 3) {
        image.fill(Qt::black);
        return image.convertToFormat(QImage::Format_RGB32);
    }
    for (int y = 0; y < kSide; ++y)
        std::memcpy(image.scanLine(y), stored.constData() + kHeader.size() + y * kSide * 3, kSide * 3);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage wastebasket()
{
    QImage image(26, 24, QImage::Format_RGB32);
    image.fill(QColor(0x60, 0x60, 0x60));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor cream(0xEF, 0xE4, 0xB0);
    const QColor dark(0x3A, 0x34, 0x20);
    p.setPen(QPen(dark, 1));
    p.setBrush(cream);
    p.drawRect(QRectF(7.5, 3.5, 11, 2));                  // lid
    p.drawRect(QRectF(11.5, 1.5, 3, 2));                  // handle
    QPolygonF body;
    body << QPointF(8.5, 6.5) << QPointF(17.5, 6.5) << QPointF(16.5, 21.5) << QPointF(9.5, 21.5);
    p.drawPolygon(body);
    p.setPen(QPen(dark, 1.2));
    for (double x : {11.0, 13.0, 15.0})
        p.drawLine(QPointF(x, 8.5), QPointF(x, 19.5));
    return image;
}

QImage flagSpain()
{
    QImage image(50, 34, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 50, 34, QColor(0xAA, 0x15, 0x1B));
    p.fillRect(0, 8, 50, 18, QColor(0xF1, 0xBF, 0x00));
    return image;
}

QImage flagUnitedKingdom()
{
    QImage image(50, 30, QImage::Format_RGB32);
    const QColor blue(0x01, 0x21, 0x69), red(0xC8, 0x10, 0x2E);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 0, 50, 30, blue);
    p.setPen(QPen(Qt::white, 6));
    p.drawLine(0, 0, 50, 30);
    p.drawLine(0, 30, 50, 0);
    p.setPen(QPen(red, 2));
    p.drawLine(0, 0, 50, 30);
    p.drawLine(0, 30, 50, 0);
    p.fillRect(20, 0, 10, 30, Qt::white);
    p.fillRect(0, 10, 50, 10, Qt::white);
    p.fillRect(22, 0, 6, 30, red);
    p.fillRect(0, 12, 50, 6, red);
    return image;
}

QImage midiSocket(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // Rim and grey face.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(32, 32), 31, 31);
    p.setBrush(QColor(0x96, 0x96, 0x96));
    p.drawEllipse(QPointF(32, 32), 25, 25);
    // Key notch at the bottom.
    p.setBrush(Qt::black);
    p.drawRect(QRectF(28, 50, 8, 9));
    // Five pins on a 180-degree arc.
    for (int pin = 0; pin < 5; ++pin) {
        const double angle = qDegreesToRadians(180.0 + pin * 45.0);
        const QPointF centre(32 + 16 * qCos(angle), 34 + 16 * qSin(angle));
        p.drawEllipse(centre, 4, 4);
    }
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {64, 32, 24, 16})
        icon.addPixmap(QPixmap::fromImage(midiSocket(size)));
    return icon;
}

QImage flag(Flag flag)
{
    switch (flag) {
    case Flag::Spain:
        return flagSpain();
    case Flag::UnitedKingdom:
        return flagUnitedKingdom();
    }
    return {};
}

} // namespace Pictures
