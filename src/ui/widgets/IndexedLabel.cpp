#include "ui/widgets/IndexedLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

TCustomIxLabel::TCustomIxLabel(QWidget *parent) : TCustomIxLabel(QString(), parent) {}

TCustomIxLabel::TCustomIxLabel(const QString &caption, QWidget *parent) : QWidget(parent), caption_(caption)
{
    resize(width(), kDefaultHeight);
}

void TCustomIxLabel::SetCaption(const QString &caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    updateGeometry();
    update();
}

void TCustomIxLabel::SetTopShift(int shift)
{
    if (shift == topShift_)
        return;
    topShift_ = shift;
    updateGeometry();
    update();
}

void TCustomIxLabel::SetWordWrap(bool wrap)
{
    if (wrap == wordWrap_)
        return;
    wordWrap_ = wrap;
    updateGeometry();
    update();
}

void TCustomIxLabel::SetAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

QColor TCustomIxLabel::FontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TCustomIxLabel::SetFontColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
    update();
}

QString TCustomIxLabel::MeasuredCaption() const
{
    if (caption_.isEmpty() || caption_ == QLatin1String("&"))
        return QStringLiteral(" ");
    return caption_;
}

QSize TCustomIxLabel::sizeHint() const
{
    const QString text = MeasuredCaption();
    const int w = draw_.IndexedTextWidth(font(), text, this) + 2;
    const int h = std::max(kDefaultHeight, topShift_ + draw_.IndexedTextHeight(font(), text, this));
    return {w, h};
}

QSize TCustomIxLabel::minimumSizeHint() const
{
    if (wordWrap_)
        return {0, kDefaultHeight};
    return sizeHint();
}

void TCustomIxLabel::DrawCaption(QPainter &painter, const QRect &rect, const QColor &color) const
{
    painter.setPen(color);
    QRect target = rect;
    // left and right swap places in a right-to-left window
    const Qt::Alignment alignment = QStyle::visualAlignment(layoutDirection(), alignment_);
    if (!wordWrap_ && !(alignment & Qt::AlignLeft)) {
        const int free = rect.width() - draw_.IndexedTextWidth(painter, caption_);
        target.setLeft(rect.left() + ((alignment & Qt::AlignRight) ? free : free / 2));
    }
    draw_.DrawIndexedTextInRect(painter, caption_, wordWrap_ ? TStringWithIndexesDraw::WordBreak : 0, target);
}

void TCustomIxLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setBrush(Qt::NoBrush);
    const QRect rect = contentsRect().adjusted(0, topShift_, 0, 0);
    if (!isEnabled()) {
        // engraved look of a disabled label: highlight below right, shadow on top
        DrawCaption(painter, rect.translated(1, 1), palette().color(QPalette::Light));
        DrawCaption(painter, rect, palette().color(QPalette::Dark));
        return;
    }
    DrawCaption(painter, rect, palette().color(QPalette::WindowText));
}
