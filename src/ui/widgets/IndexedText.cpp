#include "ui/widgets/IndexedText.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

QFontMetrics Metrics(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetrics(font, device) : QFontMetrics(font);
}

QColor ButtonFace(const QPaintDevice *device)
{
    if (device && device->devType() == QInternal::Widget)
        return static_cast<const QWidget *>(device)->palette().color(QPalette::Button);
    return QGuiApplication::palette().color(QPalette::Button);
}

int CharAdvance(const QFontMetrics &metrics, QChar c)
{
    return metrics.horizontalAdvance(c);
}

// Symbol-font letters the display uses, as Unicode Greek.
constexpr char16_t kLower[26] = {
    u'α', u'β', u'χ', u'δ', u'ε', u'φ', u'γ', u'η', u'ι', u'φ', u'κ', u'λ', u'μ',
    u'ν', u'ο', u'π', u'θ', u'ρ', u'σ', u'τ', u'υ', u'ϖ', u'ω', u'ξ', u'ψ', u'ζ',
};
constexpr char16_t kUpper[26] = {
    u'Α', u'Β', u'Χ', u'Δ', u'Ε', u'Φ', u'Γ', u'Η', u'Ι', u'ϑ', u'Κ', u'Λ', u'Μ',
    u'Ν', u'Ο', u'Π', u'Θ', u'Ρ', u'Σ', u'Τ', u'Υ', u'ς', u'Ω', u'Ξ', u'Ψ', u'Ζ',
};

} // namespace

QList<TIndexedChar> TStringWithIndexesDraw::Parse(const QString &text) const
{
    QList<TIndexedChar> items;
    items.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        TIndexedCharKind kind = TIndexedCharKind::Normal;
        if (c == down_)
            kind = TIndexedCharKind::Subscript;
        else if (c == up_)
            kind = TIndexedCharKind::Superscript;
        else if (c == symbol_)
            kind = TIndexedCharKind::Symbol;
        if (kind == TIndexedCharKind::Normal) {
            items.append({c, kind});
            continue;
        }
        if (++i >= text.size())
            break; // a trailing separator modifies nothing
        items.append({text.at(i), kind});
    }
    return items;
}

QChar TStringWithIndexesDraw::SymbolChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return QChar(kLower[u - u'a']);
    if (u >= u'A' && u <= u'Z')
        return QChar(kUpper[u - u'A']);
    return c;
}

QFont TStringWithIndexesDraw::ReducedFont(const QFont &font, const QPaintDevice *device)
{
    QFont small(font);
    if (font.pointSizeF() > 0) {
        small.setPointSizeF(std::max(1.0, font.pointSizeF() - 2.0));
    } else {
        // pixel-sized fonts: two points at the surface's resolution
        const int dpi = device ? device->logicalDpiY() : 96;
        const int step = std::max(1, static_cast<int>(std::lround(2.0 * dpi / 72.0)));
        small.setPixelSize(std::max(1, font.pixelSize() - step));
    }
    return small;
}

int TStringWithIndexesDraw::IndexShift(int smallHeight)
{
    return static_cast<int>(std::lround(0.3 * smallHeight));
}

// Consecutive ordinary characters are drawn and measured as one run, so a
// text without markup looks exactly like ordinary label text (kerning
// included) and measurement always matches drawing.
template <typename Run, typename Special>
static void Walk(const QList<TIndexedChar> &items, Run run, Special special)
{
    QString pending;
    for (const TIndexedChar &item : items) {
        if (item.Kind == TIndexedCharKind::Normal) {
            pending += item.Char;
            continue;
        }
        if (!pending.isEmpty()) {
            run(pending);
            pending.clear();
        }
        special(item);
    }
    if (!pending.isEmpty())
        run(pending);
}

bool TStringWithIndexesDraw::IsPlain(const QString &text) const
{
    return !text.contains(down_) && !text.contains(up_) && !text.contains(symbol_);
}

void TStringWithIndexesDraw::DrawIndexedText(QPainter &painter, const QString &text, int y, int x) const
{
    if (IsPlain(text)) {
        painter.drawText(x, y + Metrics(painter.font(), painter.device()).ascent(), text);
        return;
    }
    const QFont font = painter.font();
    const QFont small = ReducedFont(font, painter.device());
    const QFontMetrics normal = Metrics(font, painter.device());
    const QFontMetrics reduced = Metrics(small, painter.device());
    const int shift = IndexShift(reduced.height());

    Walk(
        Parse(text),
        [&](const QString &run) {
            painter.drawText(x, y + normal.ascent(), run);
            x += normal.horizontalAdvance(run);
        },
        [&](const TIndexedChar &item) {
            if (item.Kind == TIndexedCharKind::Symbol) {
                // Greek letters come from the current font; the extra pixel
                // keeps the symbol apart from what follows.
                const QChar greek = SymbolChar(item.Char);
                painter.drawText(x, y + normal.ascent(), QString(greek));
                x += CharAdvance(normal, greek) + 1;
                return;
            }
            const int top = item.Kind == TIndexedCharKind::Subscript ? y + shift : y - shift;
            painter.setFont(small);
            painter.drawText(x, top + reduced.ascent(), QString(item.Char));
            painter.setFont(font);
            x += CharAdvance(reduced, item.Char);
        });
}

int TStringWithIndexesDraw::IndexedTextWidth(const QFont &font, const QString &text, const QPaintDevice *device) const
{
    if (IsPlain(text))
        return Metrics(font, device).horizontalAdvance(text);
    const QFontMetrics normal = Metrics(font, device);
    const QFontMetrics reduced = Metrics(ReducedFont(font, device), device);
    int width = 0;
    Walk(
        Parse(text), [&](const QString &run) { width += normal.horizontalAdvance(run); },
        [&](const TIndexedChar &item) {
            if (item.Kind == TIndexedCharKind::Symbol)
                width += CharAdvance(normal, SymbolChar(item.Char)) + 1;
            else
                width += CharAdvance(reduced, item.Char);
        });
    return width;
}

int TStringWithIndexesDraw::IndexedTextHeight(const QFont &font, const QString &text, const QPaintDevice *device) const
{
    if (IsPlain(text))
        return text.isEmpty() ? 0 : Metrics(font, device).height();
    bool any[4] = {};
    for (const TIndexedChar &item : Parse(text))
        any[static_cast<int>(item.Kind)] = true;
    const int normalHeight = Metrics(font, device).height();
    const int smallHeight = Metrics(ReducedFont(font, device), device).height();
    // an empty group contributes nothing
    const int hNorm = any[int(TIndexedCharKind::Normal)] ? normalHeight : 0;
    const int hSym = any[int(TIndexedCharKind::Symbol)] ? normalHeight : 0;
    const int hDown = any[int(TIndexedCharKind::Subscript)] ? smallHeight : 0;
    const int hUp = any[int(TIndexedCharKind::Superscript)] ? smallHeight : 0;
    // A superscript stays within the line's own height, so it never makes
    // the text lower than its ordinary characters.
    const int r = std::max(0, IndexShift(hDown - hUp));
    return (hNorm < hSym ? hSym : hNorm) + r;
}

int TStringWithIndexesDraw::IndexedTextWidth(const QPainter &painter, const QString &text) const
{
    return IndexedTextWidth(painter.font(), text, painter.device());
}

int TStringWithIndexesDraw::IndexedTextHeight(const QPainter &painter, const QString &text) const
{
    return IndexedTextHeight(painter.font(), text, painter.device());
}

void TStringWithIndexesDraw::DrawIndexedTextInRect(QPainter &painter, const QString &text, int flags,
                                                   const QRect &rect) const
{
    if (painter.brush().style() != Qt::NoBrush)
        painter.fillRect(rect, painter.brush());
    if (!(flags & WordBreak)) {
        DrawIndexedText(painter, text, rect.top(), rect.left());
        return;
    }
    // Wrapped text (the message dialogs' text) is laid on the button face,
    // not on whatever the parent paints behind a transparent label.
    painter.fillRect(rect, ButtonFace(painter.device()));

    // Greedy wrapping at spaces; a line's width is judged on its raw text
    // (markup characters included), as the layout always has been.
    const QFontMetrics metrics = Metrics(painter.font(), painter.device());
    const auto tooWide = [&](const QString &s) { return metrics.horizontalAdvance(s) > rect.width(); };
    int offset = 0;
    const auto drawLine = [&](const QString &s) {
        if (s.isEmpty())
            return;
        DrawIndexedText(painter, s, rect.top() + offset, rect.left());
        offset += IndexedTextHeight(painter, s);
    };

    QString line, word, done;
    const auto finishLine = [&] {
        if (line.isEmpty())
            line = QStringLiteral(" ");
        if (tooWide(line) && !done.isEmpty()) {
            drawLine(done);
            drawLine(word);
        } else {
            drawLine(line);
        }
        line.clear();
        word.clear();
        done.clear();
    };

    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            continue;
        if (c == QLatin1Char('\n')) {
            finishLine();
            continue;
        }
        line += c;
        word += c;
        if (c != QLatin1Char(' '))
            continue;
        if (tooWide(line) && !done.isEmpty()) {
            drawLine(done);
            line = word;
            done = word;
        } else {
            done += word;
        }
        word.clear();
    }
    // the last line wraps like any other, so its last word is not cut off
    if (!line.isEmpty())
        finishLine();
}
