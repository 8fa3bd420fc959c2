#include "ui/widgets/IndexedText.h"
#include "ui/widgets/IndexedLabel.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

using K = TIndexedCharKind;

QFont TestFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    return font;
}

QImage Canvas(int w = 200, int h = 80)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage Draw(const QString &text, int y = 20, int x = 10)
{
    QImage image = Canvas();
    QPainter painter(&image);
    painter.setFont(TestFont());
    painter.setPen(Qt::black);
    TStringWithIndexesDraw().DrawIndexedText(painter, text, y, x);
    return image;
}

// First and last rows and columns holding ink; nullopt on a blank image.
struct TInk
{
    int Top, Bottom, Left, Right;
};

std::optional<TInk> Ink(const QImage &image, int fromX = 0, int toX = -1)
{
    if (toX < 0)
        toX = image.width();
    // ink: anything clearly different from the background in the far corner
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    const auto differs = [background](QRgb p) {
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
                   std::abs(qBlue(p) - qBlue(background)) >
               90;
    };
    std::optional<TInk> ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = fromX; x < toX; ++x)
            if (differs(image.pixel(x, y))) {
                if (!ink)
                    ink = TInk{y, y, x, x};
                ink->Top = std::min(ink->Top, y);
                ink->Bottom = std::max(ink->Bottom, y);
                ink->Left = std::min(ink->Left, x);
                ink->Right = std::max(ink->Right, x);
            }
    return ink;
}

TEST(IndexedTextParse, SeparatorsModifyExactlyTheNextCharacter)
{
    const TStringWithIndexesDraw draw;
    EXPECT_EQ(draw.Parse(QStringLiteral("K~U~(~n~)~A")), (QList<TIndexedChar>{{u'K', K::Normal},
                                                                              {u'U', K::Subscript},
                                                                              {u'(', K::Subscript},
                                                                              {u'n', K::Subscript},
                                                                              {u')', K::Subscript},
                                                                              {u'A', K::Subscript}}));
    EXPECT_EQ(
        draw.Parse(QStringLiteral("@j~U~I~0")),
        (QList<TIndexedChar>{{u'j', K::Symbol}, {u'U', K::Subscript}, {u'I', K::Subscript}, {u'0', K::Subscript}}));
    EXPECT_EQ(draw.Parse(QStringLiteral("x^2")), (QList<TIndexedChar>{{u'x', K::Normal}, {u'2', K::Superscript}}));
    // no escape and no grouping: a separator after a separator is its character
    EXPECT_EQ(draw.Parse(QStringLiteral("~~a")), (QList<TIndexedChar>{{u'~', K::Subscript}, {u'a', K::Normal}}));
    // a separator at the very end modifies nothing and is dropped
    EXPECT_EQ(draw.Parse(QStringLiteral("U~")), (QList<TIndexedChar>{{u'U', K::Normal}}));
    EXPECT_TRUE(draw.Parse(QStringLiteral("~")).isEmpty());
    EXPECT_TRUE(draw.Parse(QString()).isEmpty());
}

TEST(IndexedTextParse, SeparatorsCanBeChanged)
{
    TStringWithIndexesDraw draw;
    draw.SetDownSeparator(u'_');
    draw.SetSymbolSeparator(u'#');
    EXPECT_EQ(draw.Parse(QStringLiteral("#dU_1~")),
              (QList<TIndexedChar>{{u'd', K::Symbol}, {u'U', K::Normal}, {u'1', K::Subscript}, {u'~', K::Normal}}));
}

TEST(IndexedTextParse, SymbolLettersBecomeGreek)
{
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'j'), QChar(u'φ'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'f'), QChar(u'φ'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'd'), QChar(u'δ'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'D'), QChar(u'Δ'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'W'), QChar(u'Ω'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'1'), QChar(u'1'));
    EXPECT_EQ(TStringWithIndexesDraw::SymbolChar(u'Я'), QChar(u'Я'));
}

TEST(IndexedTextMeasure, WidthFollowsThePenAdvances)
{
    const TStringWithIndexesDraw draw;
    const QFont font = TestFont();
    const QFontMetrics normal(font);
    const QFontMetrics small(TStringWithIndexesDraw::ReducedFont(font));
    EXPECT_EQ(draw.IndexedTextWidth(font, QStringLiteral("~")), 0);
    EXPECT_EQ(draw.IndexedTextWidth(font, QString()), 0);
    EXPECT_EQ(draw.IndexedTextWidth(font, QStringLiteral("AB")), normal.horizontalAdvance(QStringLiteral("AB")));
    // one pixel more after the Greek letter than plain text of the same width
    EXPECT_EQ(draw.IndexedTextWidth(font, QStringLiteral("@dU")), normal.horizontalAdvance(QStringLiteral("δU")) + 1);
    EXPECT_EQ(draw.IndexedTextWidth(font, QStringLiteral("U~0")),
              normal.horizontalAdvance(u'U') + small.horizontalAdvance(u'0'));
    EXPECT_LT(small.height(), normal.height());
}

TEST(IndexedTextMeasure, HeightGrowsBySubscriptShiftOnly)
{
    const TStringWithIndexesDraw draw;
    const QFont font = TestFont();
    const int h = QFontMetrics(font).height();
    const int hs = QFontMetrics(TStringWithIndexesDraw::ReducedFont(font)).height();
    EXPECT_EQ(draw.IndexedTextHeight(font, QString()), 0);
    EXPECT_EQ(draw.IndexedTextHeight(font, QStringLiteral("U")), h);
    EXPECT_EQ(draw.IndexedTextHeight(font, QStringLiteral("@D")), h);
    EXPECT_EQ(draw.IndexedTextHeight(font, QStringLiteral("U~0")), h + TStringWithIndexesDraw::IndexShift(hs));
    EXPECT_EQ(draw.IndexedTextHeight(font, QStringLiteral("U~0^2")), h);
    EXPECT_EQ(draw.IndexedTextHeight(font, QStringLiteral("U^2")), h);
    EXPECT_EQ(TStringWithIndexesDraw::IndexShift(10), 3);
    EXPECT_EQ(TStringWithIndexesDraw::IndexShift(15), 5);
}

TEST(IndexedTextDraw, SubscriptIsLoweredAndSuperscriptRaisedByThirtyPercent)
{
    const QFont small = TStringWithIndexesDraw::ReducedFont(TestFont());
    const int r = TStringWithIndexesDraw::IndexShift(QFontMetrics(small).height());
    ASSERT_GT(r, 0);
    const auto down = Ink(Draw(QStringLiteral("~0")));
    const auto up = Ink(Draw(QStringLiteral("^0")));
    ASSERT_TRUE(down && up);
    EXPECT_EQ(down->Top - up->Top, 2 * r);
    EXPECT_EQ(down->Left, up->Left);

    // in "U~0" the digit lies right of U and reaches below it
    const int uWidth = QFontMetrics(TestFont()).horizontalAdvance(u'U');
    const auto u = Ink(Draw(QStringLiteral("U~0")), 0, 10 + uWidth);
    const auto zero = Ink(Draw(QStringLiteral("U~0")), 10 + uWidth);
    ASSERT_TRUE(u && zero);
    EXPECT_GT(zero->Bottom, u->Bottom);
    EXPECT_GT(zero->Top, u->Top);
}

TEST(IndexedTextDraw, PlainTextLooksLikeOrdinaryTextAndSeparatorsAreInvisible)
{
    QImage plain = Canvas();
    {
        QPainter painter(&plain);
        painter.setFont(TestFont());
        painter.setPen(Qt::black);
        painter.drawText(10, 20 + QFontMetrics(TestFont()).ascent(), QStringLiteral("AB"));
    }
    EXPECT_EQ(Draw(QStringLiteral("AB")), plain);
    EXPECT_FALSE(Ink(Draw(QStringLiteral("~"))).has_value());
    EXPECT_FALSE(Ink(Draw(QStringLiteral("@"))).has_value());
}

TEST(IndexedTextDraw, DrawnWidthMatchesMeasuredWidth)
{
    const TStringWithIndexesDraw draw;
    for (const QString &text : {QStringLiteral("K~U~(~n~)~A"), QStringLiteral("@j~U~I~0"), QStringLiteral("@DF"),
                                QStringLiteral("U~s~g~(~n~)~A~B, кВ")}) {
        const auto ink = Ink(Draw(text));
        ASSERT_TRUE(ink) << text.toStdString();
        const int width = draw.IndexedTextWidth(TestFont(), text);
        EXPECT_GE(ink->Left, 10 - 2) << text.toStdString();
        EXPECT_LE(ink->Right, 10 + width + 1) << text.toStdString();
        EXPECT_GE(ink->Right, 10 + width - 6) << text.toStdString();
    }
}

TEST(IndexedTextDraw, WordBreakWrapsAtSpacesAndLineFeeds)
{
    const TStringWithIndexesDraw draw;
    const QFont font = TestFont();
    const int lineHeight = QFontMetrics(font).height();
    const auto drawIn = [&](const QString &text, int flags, int width) {
        QImage image = Canvas(200, 200);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        draw.DrawIndexedTextInRect(painter, text, flags, QRect(0, 0, width, 200));
        return image;
    };
    const QString text = QStringLiteral("Uab Ubc Uca");
    const auto oneLine = Ink(drawIn(text, 0, 60));
    const auto wrapped = Ink(drawIn(text, TStringWithIndexesDraw::WordBreak, 60));
    ASSERT_TRUE(oneLine && wrapped);
    EXPECT_LT(oneLine->Bottom, lineHeight);
    EXPECT_GE(wrapped->Bottom, 2 * lineHeight); // three lines
    EXPECT_LE(wrapped->Right, 60);

    const auto feeds = Ink(drawIn(QStringLiteral("a\r\n\nb"), TStringWithIndexesDraw::WordBreak, 190));
    ASSERT_TRUE(feeds);
    EXPECT_GE(feeds->Bottom, 2 * lineHeight); // the empty line keeps its place
    // the brush fills the rectangle before the text is drawn
    QImage filled = Canvas(50, 50);
    {
        QPainter painter(&filled);
        painter.setBrush(QColor(10, 200, 10));
        draw.DrawIndexedTextInRect(painter, QString(), 0, QRect(5, 5, 20, 20));
    }
    EXPECT_EQ(filled.pixelColor(15, 15), QColor(10, 200, 10));
    EXPECT_EQ(filled.pixelColor(30, 30), QColor(Qt::white));
}

TEST(IxLabel, TopShiftMovesTheTextAndCaptionsRepaint)
{
    TIxLabel label(QStringLiteral("@dU~1"));
    label.setFont(TestFont());
    EXPECT_EQ(label.TopShift(), 3);
    EXPECT_EQ(label.height(), 20);
    label.resize(120, 40);
    const auto atDefault = Ink(label.grab().toImage());
    label.SetTopShift(-4);
    const auto raised = Ink(label.grab().toImage());
    ASSERT_TRUE(atDefault && raised);
    EXPECT_EQ(atDefault->Top - raised->Top, 7);

    // a caption without markup draws like ordinary text; an empty one draws nothing
    label.SetCaption(QString());
    EXPECT_FALSE(Ink(label.grab().toImage()).has_value());
    EXPECT_GT(label.sizeHint().width(), 0); // measured as a space
}

TEST(IxLabel, ColourAlignmentAndDisabledLook)
{
    TIxLabel label(QStringLiteral("A"));
    label.setFont(TestFont());
    label.resize(100, 30);
    label.SetFontColor(QColor(230, 205, 43));
    EXPECT_EQ(label.FontColor(), QColor(230, 205, 43));
    const auto left = Ink(label.grab().toImage());
    label.SetAlignment(Qt::AlignHCenter);
    const auto centred = Ink(label.grab().toImage());
    ASSERT_TRUE(left && centred);
    EXPECT_NEAR((centred->Left + centred->Right) / 2.0, 50.0, 2.0);
    EXPECT_LT(left->Left, 5);

    label.setEnabled(false);
    EXPECT_TRUE(Ink(label.grab().toImage()).has_value());
}

TEST(IxLabel, OnlyAWrappedCaptionIsLaidOnTheButtonFace)
{
    TIxLabel label(QStringLiteral("U~0"));
    label.setFont(TestFont());
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Button, QColor(200, 210, 220));
    label.setPalette(palette);
    label.resize(100, 40);
    const QPoint empty(90, 35);
    EXPECT_EQ(label.grab().toImage().pixelColor(empty), QColor(Qt::white));
    label.SetWordWrap(true);
    EXPECT_EQ(label.grab().toImage().pixelColor(empty), QColor(200, 210, 220));
    // the text is still there, on top of the face
    EXPECT_TRUE(Ink(label.grab().toImage()).has_value());
}

TEST(IxLabel, RightToLeftMirrorsTheAlignment)
{
    TIxLabel label(QStringLiteral("A"));
    label.setFont(TestFont());
    label.resize(100, 30);
    label.setLayoutDirection(Qt::RightToLeft);
    const auto mirrored = Ink(label.grab().toImage());
    ASSERT_TRUE(mirrored);
    EXPECT_GT(mirrored->Right, 90);
    label.SetAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    const auto absolute = Ink(label.grab().toImage());
    ASSERT_TRUE(absolute);
    EXPECT_LT(absolute->Left, 5);
}

// Superscripts never make a label lower than its ordinary characters, so
// a label sized to its hint does not cut the bottom of the line.
TEST(IxLabel, ASuperscriptDoesNotCutTheLineAtTheHintHeight)
{
    QFont big = TestFont();
    big.setPixelSize(40);
    TIxLabel label(QStringLiteral("U^2"));
    label.setFont(big);
    label.resize(label.sizeHint());
    const auto atHint = Ink(label.grab().toImage());
    label.resize(label.sizeHint().width(), 200);
    const auto roomy = Ink(label.grab().toImage());
    ASSERT_TRUE(atHint && roomy);
    EXPECT_EQ(atHint->Bottom, roomy->Bottom);
}

TEST(IxLabel, SizeHintCoversTheIndexedText)
{
    TIxLabel label(QStringLiteral("K~m~(~1~)"));
    label.setFont(TestFont());
    const TStringWithIndexesDraw draw;
    EXPECT_GE(label.sizeHint().width(), draw.IndexedTextWidth(TestFont(), QStringLiteral("K~m~(~1~)")));
    EXPECT_GE(label.sizeHint().height(), 20);
}

} // namespace
