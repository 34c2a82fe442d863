#include "ui/group_box.h"

#include <QPainter>

FramedGroup::FramedGroup(const QString& caption, const QFont& captionFont, const QColor& captionColor,
                         const QColor& frameColor, const QColor& frameLight, QWidget* parent)
    : QWidget(parent), caption_(caption), captionFont_(captionFont), captionColor_(captionColor),
      frameColor_(frameColor), frameLight_(frameLight)
{
    setAutoFillBackground(true);
}

void FramedGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics metrics(captionFont_);
    const int captionTop = metrics.height() / 2;
    const QRect frame = rect().adjusted(0, captionTop, -1, -1);

    // A sunken-looking etched frame: the light edge just inside the frame line.
    p.setPen(frameLight_);
    p.drawRect(frame.adjusted(1, 1, 1, 1));
    p.setPen(frameColor_);
    p.drawRect(frame);

    const int textLeft = 8;
    const int textWidth = metrics.horizontalAdvance(caption_);
    p.fillRect(QRect(textLeft, 0, textWidth + 2, metrics.height() + 1), palette().window());
    p.setFont(captionFont_);
    const int baseline = metrics.ascent();
    p.setPen(Qt::white);
    p.drawText(textLeft - 1, baseline - 1, caption_);
    p.setPen(Qt::black);
    p.drawText(textLeft + 1, baseline + 1, caption_);
    p.setPen(captionColor_);
    p.drawText(textLeft, baseline, caption_);
}
