#pragma once

// Labels of electrical quantities written with a one-character markup:
// "~x" draws x as a subscript, "^x" as a superscript and "@x" as the Greek
// letter that x stands for in the classic symbol-font layout ("@dU~1" is
// δU with subscript 1). A separator modifies exactly the next character;
// one at the very end is dropped.

#include <QChar>
#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

class QPainter;
class QPaintDevice;

enum class TIndexedCharKind : quint8 { Normal, Subscript, Superscript, Symbol };

struct TIndexedChar
{
    QChar Char;
    TIndexedCharKind Kind = TIndexedCharKind::Normal;

    friend bool operator==(const TIndexedChar &, const TIndexedChar &) = default;
};

class TStringWithIndexesDraw
{
public:
    // The word-break flag of DrawIndexedTextInRect; other flag bits are
    // accepted and ignored.
    static constexpr int WordBreak = 16;

    QChar UpSeparator() const { return up_; }
    QChar DownSeparator() const { return down_; }
    QChar SymbolSeparator() const { return symbol_; }
    void SetUpSeparator(QChar c) { up_ = c; }
    void SetDownSeparator(QChar c) { down_ = c; }
    void SetSymbolSeparator(QChar c) { symbol_ = c; }

    QList<TIndexedChar> Parse(const QString &text) const;

    // One line; x is its left edge, y the top of its ordinary characters.
    // Uses the painter's font and pen.
    void DrawIndexedText(QPainter &painter, const QString &text, int y, int x) const;
    // Advances exactly as DrawIndexedText moves its pen. device: the surface
    // the text will be drawn on (null: the screen).
    int IndexedTextWidth(const QFont &font, const QString &text, const QPaintDevice *device = nullptr) const;
    int IndexedTextHeight(const QFont &font, const QString &text, const QPaintDevice *device = nullptr) const;
    int IndexedTextWidth(const QPainter &painter, const QString &text) const;
    int IndexedTextHeight(const QPainter &painter, const QString &text) const;
    // Fills the rectangle with the painter's brush and draws the text from
    // its top left corner; with WordBreak the rectangle is filled with the
    // button face and the text is wrapped at spaces and at line feeds.
    void DrawIndexedTextInRect(QPainter &painter, const QString &text, int flags, const QRect &rect) const;

    // The Greek letter a symbol-font letter stands for (j, f -> φ, d -> δ,
    // D -> Δ, ...); other characters map to themselves.
    static QChar SymbolChar(QChar c);
    // The font two points smaller, used for sub- and superscripts.
    static QFont ReducedFont(const QFont &font, const QPaintDevice *device = nullptr);
    // Vertical shift of a sub- or superscript: 30 % of the small font's height.
    static int IndexShift(int smallHeight);

private:
    // Text without separators: one ordinary run, drawn and measured as
    // plain text (the numbers of the tables, most of what is drawn).
    bool IsPlain(const QString &text) const;

    QChar up_ = QLatin1Char('^');
    QChar down_ = QLatin1Char('~');
    QChar symbol_ = QLatin1Char('@');
};
