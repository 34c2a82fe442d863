#pragma once
#include <QColor>
#include <QFont>
#include <QWidget>

// A framed group whose caption is drawn as raised 3-D text: a white highlight up
// and left, a black shadow down and right, the caption colour on top.
class FramedGroup : public QWidget {
    Q_OBJECT
public:
    FramedGroup(const QString& caption, const QFont& captionFont, const QColor& captionColor,
                const QColor& frameColor, const QColor& frameLight, QWidget* parent = nullptr);

    QString caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    QFont captionFont_;
    QColor captionColor_;
    QColor frameColor_;
    QColor frameLight_;
};
