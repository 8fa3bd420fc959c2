#pragma once

// The bar chart of the harmonics, interharmonics or power page: for each
// of its series one bar per harmonic order (or interharmonic group), of
// which the page's selector shows a few series at a time, side by side. The
// bindings write the bars' heights in place; the chart scales its value axis
// and explains the bar under the mouse in a hint.

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <optional>

class QCPBars;
class QCPBarsGroup;
class QCustomPlot;
class QTimer;

class TSpectrumChart : public QWidget
{
    Q_OBJECT

public:
    // What differs between the charts of the three pages.
    struct TLook
    {
        QString CategoryTitle; // "Номер гармоники"
        QString ValueTitle;    // the title until the first selection
        int FirstKey = 2;      // key of the first bar: order 2 or group 1
        double DesignMaximum = 10;
        bool Symmetric = false;  // value axis from -maximum to maximum
        QString HintKeyCaption;  // "Номер гармоники: "
        QString HintValueSuffix; // appended to the value in the hint
    };

    struct THint
    {
        QString Text;
        QColor Color;
    };

    explicit TSpectrumChart(const TLook &look, QWidget *parent = nullptr);

    // A series of kBarCount bars of height 0 at the keys FirstKey onwards,
    // hidden until ShowOnly names it.
    QCPBars *AddSeries(const char *name, const QString &title, const QColor &color);
    const QList<QCPBars *> &Series() const { return series_; }

    // Shows exactly these series, side by side in this order, together
    // filling the width of a category.
    void ShowOnly(const QList<QCPBars *> &shown);
    static void SetColor(QCPBars *series, const QColor &color);
    static QColor Color(const QCPBars *series);

    QString ValueTitle() const;
    void SetValueTitle(const QString &title);
    double ValueMaximum() const;
    double ValueMinimum() const;
    // Symmetric charts take -maximum as their minimum.
    void SetValueMaximum(double maximum);
    // The "Авто" maximum: a + 1, where a follows the largest |Y| of the
    // shown bars, rounded to the nearest integer (halves to even). NaN and
    // infinite bars are passed over; a is at most INT_MAX - 1.
    int AutoMaximum() const;

    // The hint for a point of the plot: only over a bar of a shown series.
    std::optional<THint> HintAt(const QPoint &pos) const;

    QCustomPlot *Plot() const { return plot_; }

    static constexpr int kBarCount = 49;
    // The hint is renewed this often while the mouse rests on a bar, so it
    // follows the values; it goes this long after the mouse left the bars.
    static constexpr int kHintReshowMs = 100;
    static constexpr int kHintHideMs = 500;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ShowHint(const QPoint &pos);
    void ReshowHint();

    TLook look_;
    QCustomPlot *plot_ = nullptr;
    QCPBarsGroup *group_ = nullptr;
    QList<QCPBars *> series_;
    QTimer *hintTimer_ = nullptr;
    QElapsedTimer offBar_; // since the mouse left the bars
    QColor hintColor_;
};
