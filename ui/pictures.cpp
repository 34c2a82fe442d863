#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QResource>
#include <QtMath>

#include <cstring>

namespace Pictures {

namespace {
// How a carried picture's file begins: binary RGB ("P6") or RGBA ("P7").
QByteArray netpbmHeader(int width, int height, bool alpha)
{
    return alpha
        ? QStringLiteral("P7\nWIDTH %1\nHEIGHT %2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n").arg(width).arg(height).toLatin1()
        : QStringLiteral("P6\n%1 %2\n255\n").arg(width).arg(height).toLatin1();
}

// A picture carried in the program as a netpbm file of exactly the size asked
// for. One that is not, is blank.
QImage carried(const QString& name, int width, int height, bool alpha)
{
    const QByteArray header = netpbmHeader(width, height, alpha);
    const qsizetype lineBytes = qsizetype(width) * (alpha ? 4 : 3);
    const QByteArray stored = QResource(QStringLiteral(":/pictures/") + name).uncompressedData();
    QImage image(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (!stored.startsWith(header) || stored.size() != header.size() + lineBytes * height) {
        image.fill(alpha ? Qt::transparent : Qt::black);
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), stored.constData() + header.size() + y * lineBytes, std::size_t(lineBytes));
    }
    return image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}
} // namespace

QImage routeMark() { return carried(QStringLiteral("route-mark.ppm"), 30, 30, false); }
QImage logo() { return carried(QStringLiteral("logo.ppm"), 152, 152, false); }
QImage wastebasket() { return carried(QStringLiteral("wastebasket.ppm"), 26, 24, false); }

QImage flag(Flag flag)
{
    switch (flag) {
    case Flag::Spain:
        return carried(QStringLiteral("flag-spain.ppm"), 50, 34, false);
    case Flag::UnitedKingdom:
        return carried(QStringLiteral("flag-united-kingdom.ppm"), 50, 30, false);
    }
    return {};
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : kIconSizes)
        icon.addPixmap(QPixmap::fromImage(carried(QStringLiteral("icon-%1.pam").arg(size), size, size, true)));
    return icon;
}

std::vector<CarriedPicture> carriedPictures()
{
    std::vector<CarriedPicture> pictures = {
        {QStringLiteral("route-mark.ppm"), Drawn::routeMark()},
        {QStringLiteral("logo.ppm"), Drawn::logo()},
        {QStringLiteral("wastebasket.ppm"), Drawn::wastebasket()},
        {QStringLiteral("flag-spain.ppm"), Drawn::flagSpain()},
        {QStringLiteral("flag-united-kingdom.ppm"), Drawn::flagUnitedKingdom()},
    };
    for (int size : kIconSizes)
        pictures.push_back({QStringLiteral("icon-%1.pam").arg(size), Drawn::midiSocket(size)});
    return pictures;
}

QByteArray netpbm(const QImage& picture)
{
    const bool alpha = picture.hasAlphaChannel();
    const QImage pixels = picture.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    QByteArray file = netpbmHeader(pixels.width(), pixels.height(), alpha);
    for (int y = 0; y < pixels.height(); ++y)
        file.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), qsizetype(pixels.width()) * (alpha ? 4 : 3));
    return file;
}

namespace Drawn {

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
    QImage image(152, 152, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Three wavy lines, like a MIDI stream passing through.
    for (int line = 0; line < 3; ++line) {
        QPainterPath wave;
        const double y0 = 98 + line * 14;
        wave.moveTo(10, y0);
        for (int x = 10; x <= 142; x += 2)
            wave.lineTo(x, y0 + 5 * qSin((x + line * 12) / 11.0));
        p.setPen(QPen(QColor(0xE0, 0x20, 0x20), 2.5));
        p.drawPath(wave);
    }
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(38);
    font.setBold(true);
    QPainterPath letters;
    letters.addText(18, 62, font, QStringLiteral("QORV"));
    p.setPen(QPen(QColor(0xD0, 0x10, 0x10), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(letters);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(letters);
    QFont small(QStringLiteral("Tahoma"));
    small.setPixelSize(13);
    small.setBold(true);
    p.setFont(small);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 68, 152, 18), Qt::AlignHCenter, QStringLiteral("MIDI ROUTER"));
    return image;
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

} // namespace Drawn

} // namespace Pictures
