#include "ui/widgets/ValueWithUnitFrame.h"

#include "ui/ValueFormat.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include <map>

namespace {

// Counts the events of each type a widget receives.
class TEventCounter : public QObject
{
public:
    std::map<QEvent::Type, int> counts;
    bool eventFilter(QObject *, QEvent *event) override
    {
        ++counts[event->type()];
        return false;
    }
    int operator[](QEvent::Type type) const
    {
        const auto it = counts.find(type);
        return it == counts.end() ? 0 : it->second;
    }
};

// A frame between a caption and the rest of a row, as the pages place it.
struct TShownFrame
{
    TShownFrame()
    {
        auto *layout = new QHBoxLayout(&row);
        caption = new QLabel(QStringLiteral("F"), &row);
        frame = new TValueWithDimensionFrame(&row);
        frame->setFixedWidth(115);
        frame->SetUnit(QStringLiteral("Гц"));
        layout->addWidget(caption);
        layout->addWidget(frame);
        layout->addStretch(1);
        row.resize(300, 40);
        frame->ShowPlainValue(3, true, QColor(Qt::white), 0, 50.0);
        row.show();
        QApplication::processEvents();
    }

    QWidget row;
    QLabel *caption = nullptr;
    TValueWithDimensionFrame *frame = nullptr;
};

bool Near(QRgb pixel, const QColor &color)
{
    return std::abs(qRed(pixel) - color.red()) + std::abs(qGreen(pixel) - color.green()) +
               std::abs(qBlue(pixel) - color.blue()) <
           60;
}

} // namespace

// A data block changes many numbers at once: a new number must neither lay
// out the frame or its row again nor repaint anything but the number.
TEST(ValueWithUnitFrameTest, NewNumberRepaintsOnlyItself)
{
    TShownFrame shown;
    TEventCounter row, caption, frame;
    shown.row.installEventFilter(&row);
    shown.caption->installEventFilter(&caption);
    shown.frame->installEventFilter(&frame);

    for (double value : {50.012, 49.987, 50.5})
        shown.frame->ShowPlainValue(3, true, QColor(Qt::white), value > 50.1 ? 1 : 0, value);
    QApplication::processEvents();

    EXPECT_EQ(shown.frame->ValueText(), TFormatUtilities::FormatNumber(50.5, 3));
    EXPECT_EQ(frame[QEvent::LayoutRequest], 0);
    EXPECT_EQ(row[QEvent::LayoutRequest], 0);
    EXPECT_EQ(frame[QEvent::Paint], 0) << "the unit did not change";
    EXPECT_EQ(row[QEvent::Paint], 0);
    EXPECT_EQ(caption[QEvent::Paint], 0);
}

// The number right-aligned on the channel background in its status colour,
// the unit beside it on the row's own background.
TEST(ValueWithUnitFrameTest, PaintsNumberAndUnit)
{
    TShownFrame shown;
    const QColor olive(190, 190, 140);
    shown.frame->ShowPlainValue(2, true, olive, 1, 50.47);
    const QImage image = shown.frame->grab().toImage();
    const QRect value = shown.frame->ValueRect();
    const QRect unit = shown.frame->DimensionRect();
    ASSERT_GT(value.width(), 0);
    ASSERT_GT(unit.width(), 0);
    EXPECT_LT(value.right(), unit.left());

    EXPECT_TRUE(Near(image.pixel(value.left(), value.top()), olive));
    int red = 0, redLeft = value.right(), redRight = value.left();
    for (int y = value.top(); y <= value.bottom(); ++y)
        for (int x = value.left(); x <= value.right(); ++x)
            if (Near(image.pixel(x, y), QColor(255, 0, 0))) {
                ++red;
                redLeft = std::min(redLeft, x);
                redRight = std::max(redRight, x);
            }
    EXPECT_GT(red, 10);
    EXPECT_GE(redRight, value.right() - 3) << "right-aligned";
    EXPECT_GT(redLeft, value.left() + 20) << "right-aligned";

    int ink = 0;
    for (int y = unit.top(); y <= unit.bottom(); ++y)
        for (int x = unit.left(); x <= unit.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(ink, 10);
    EXPECT_FALSE(Near(image.pixel(unit.right(), unit.top()), olive));
    EXPECT_FALSE(Near(image.pixel(unit.left(), unit.bottom()), olive));
}
