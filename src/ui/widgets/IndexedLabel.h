#pragma once

// A label whose caption uses the indexed markup of TStringWithIndexesDraw.

#include "ui/widgets/IndexedText.h"

#include <QColor>
#include <QWidget>

class TCustomIxLabel : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomIxLabel(QWidget *parent = nullptr);
    TCustomIxLabel(const QString &caption, QWidget *parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption);

    // Pixels added to the top of the drawing rectangle (negative: up).
    int TopShift() const { return topShift_; }
    void SetTopShift(int shift);

    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);

    // Horizontal placement of a single line: left (default), centre or right;
    // mirrored in a right-to-left layout unless Qt::AlignAbsolute is given.
    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment alignment);

    QColor FontColor() const;
    void SetFontColor(const QColor &color);

    TStringWithIndexesDraw &StringPresentOpt() { return draw_; }
    const TStringWithIndexesDraw &StringPresentOpt() const { return draw_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int kDefaultTopShift = 3;
    static constexpr int kDefaultHeight = 20;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // An empty caption, or one that is just "&", is measured as a space.
    QString MeasuredCaption() const;
    void DrawCaption(QPainter &painter, const QRect &rect, const QColor &color) const;

    QString caption_;
    int topShift_ = kDefaultTopShift;
    bool wordWrap_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    TStringWithIndexesDraw draw_;
};

class TIxLabel : public TCustomIxLabel
{
    Q_OBJECT

public:
    using TCustomIxLabel::TCustomIxLabel;
};
