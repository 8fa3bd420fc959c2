#include "ui/charts/SpectrumDesigns.h"

#include "ui/ParamsGroupBox.h"

namespace SpectrumDesigns {

namespace {

using TItem = TSpectrumGroup::TItem;
using TSeries = TSpectrumGroup::TSeries;

// Phase letters: Cyrillic in the series titles, Latin in the selectors and
// the table headers.
const char *const kTitlePhases[6] = {"А", "В", "С", "АВ", "ВС", "СА"};
const char *const kLatinPhases[6] = {"A", "B", "C", "A~B", "B~C", "C~A"};

const QColor kBlue(0, 0, 255);

// The colours the series have until a selection changes them: phase A and
// line AB yellow, B and BC green, C and CA red.
QColor DesignColor(int channel)
{
    static const QColor colors[3] = {QColor(255, 255, 0), QColor(0, 128, 0), QColor(255, 0, 0)};
    return colors[channel % 3];
}

// Three series of the phases (first channel 0) or lines (3).
void AddThree(QList<TSeries> &series, const char *const names[3], const QString &title, int firstChannel)
{
    for (int i = 0; i < 3; ++i)
        series.append(
            {names[i], title + QString::fromUtf8(kTitlePhases[firstChannel + i]), DesignColor(firstChannel + i)});
}

std::array<QString, 3> Three(const QString &stem, int firstChannel)
{
    std::array<QString, 3> names;
    for (int i = 0; i < 3; ++i)
        names[i] = stem + QLatin1String(kLatinPhases[firstChannel + i]);
    return names;
}

std::array<QString, 3> Same(const QString &unit)
{
    return {unit, unit, unit};
}

QList<QPair<int, QColor>> PhaseColours(int firstSeries)
{
    return {{firstSeries, TParamsGroupBox::PhaseColor(0)},
            {firstSeries + 1, TParamsGroupBox::PhaseColor(1)},
            {firstSeries + 2, TParamsGroupBox::PhaseColor(2)}};
}

QList<int> Range3(int first)
{
    return {first, first + 1, first + 2};
}

// Stems of the header names of the two harmonic pages: Ku, Ki, U and I.
struct TStems
{
    QString Ku, Ki, U, I;
};

// The nine items of the harmonics and the interharmonics pages. symbol:
// "n" or "m"; tables: the nine table names; phaseThird: the third column of
// the phase tables (the harmonic angle), empty on the interharmonics page.
QList<TItem> HarmonicItems(const QString &symbol, const TStems &stems, const char *const tables[9], bool angle)
{
    const QString percent = QStringLiteral("%");
    const QString coefficient = QStringLiteral("Коэффициент");
    const QString voltage = QStringLiteral("Напряжение");
    const QString order = QStringLiteral("(%1)").arg(symbol);

    QList<TItem> items;
    items.append({QStringLiteral("Ku%1ф").arg(order),
                  tables[0],
                  Three(stems.Ku, 0),
                  Same(percent),
                  3,
                  0,
                  coefficient,
                  {percent},
                  Range3(kKuPhases),
                  {}});
    items.append({QStringLiteral("Ku%1мф").arg(order),
                  tables[1],
                  Three(stems.Ku, 3),
                  Same(percent),
                  3,
                  0,
                  coefficient,
                  {percent},
                  Range3(kKuLines),
                  {}});
    items.append({QStringLiteral("Ki%1").arg(order),
                  tables[2],
                  Three(stems.Ki, 0),
                  Same(percent),
                  3,
                  0,
                  coefficient,
                  {percent},
                  Range3(kKi),
                  PhaseColours(kKi)});
    for (int p = 0; p < 3; ++p) {
        const QString letter = QLatin1String(kLatinPhases[p]);
        TItem item{QStringLiteral("Фаза ") + letter,
                   tables[3 + p],
                   {stems.Ku + letter, stems.Ki + letter, QString()},
                   {percent, percent, QString()},
                   2,
                   0,
                   coefficient,
                   {percent},
                   {kKuPhases + p, kKi + p},
                   {{kKi + p, kBlue}}};
        if (angle) {
            item.Names[2] = QStringLiteral("@j~U~I~(~n~)~") + letter;
            item.Units[2] = QStringLiteral("°");
            item.ValueColumns = 3;
        }
        items.append(item);
    }
    const QString volt = QStringLiteral("В");
    items.append({QStringLiteral("U%1ф").arg(order),
                  tables[6],
                  Three(stems.U, 0),
                  Same(volt),
                  3,
                  1,
                  voltage,
                  {volt},
                  Range3(kUPhases),
                  {}});
    items.append({QStringLiteral("U%1мф").arg(order),
                  tables[7],
                  Three(stems.U, 3),
                  Same(volt),
                  3,
                  2,
                  voltage,
                  {volt},
                  Range3(kULines),
                  {}});
    const QString ampere = QStringLiteral("A"); // Latin
    items.append({QStringLiteral("I%1").arg(order),
                  tables[8],
                  Three(stems.I, 0),
                  Same(ampere),
                  3,
                  3,
                  QStringLiteral("Ток"),
                  {ampere},
                  Range3(kI),
                  PhaseColours(kKi)});
    return items;
}

TSpectrumChart::TLook HarmonicsLook(const QString &category, int firstKey, const QString &valueSuffix)
{
    TSpectrumChart::TLook look;
    look.CategoryTitle = category;
    look.ValueTitle = QStringLiteral("К");
    look.FirstKey = firstKey;
    look.DesignMaximum = 10;
    look.HintKeyCaption = category + QStringLiteral(": ");
    look.HintValueSuffix = valueSuffix;
    return look;
}

} // namespace

TSpectrumGroup::TDesign Harmonics()
{
    TSpectrumGroup::TDesign d;
    d.Title = QStringLiteral("Гармоники");
    d.Name = "gbGarmonics";
    d.Selector = "cmbxGarmonicsData";
    d.Chart = "chartGarmonics";
    d.AutoButton = "btnAvtoMaxCoord";
    d.ScaleEdit = "spedMaxCoord";
    d.FirstNumber = 2;
    d.Symbol = QStringLiteral("n");
    d.Look = HarmonicsLook(QStringLiteral("Номер гармоники"), 2, QString());

    static const char *const kuPhases[3] = {"serUFazaA", "serUFazaB", "serUFazaC"};
    static const char *const kuLines[3] = {"serUFazaAB", "serUFazaBC", "serUFazaCA"};
    static const char *const ki[3] = {"serIFazaA", "serIFazaB", "serIFazaC"};
    static const char *const uPhases[3] = {"brsrsSeries_U_A", "brsrsSeries_U_B", "brsrsSeries_U_C"};
    static const char *const uLines[3] = {"brsrsSeries_U_AB", "brsrsSeries_U_BC", "brsrsSeries_U_CA"};
    static const char *const i[3] = {"brsrsSeries_I_A", "brsrsSeries_I_B", "brsrsSeries_I_C"};
    const QString ku = QStringLiteral("Коэффициент несинусоидальности напряжение. Фаза ");
    AddThree(d.Series, kuPhases, ku, 0);
    AddThree(d.Series, kuLines, ku, 3);
    AddThree(d.Series, ki, QStringLiteral("Коэффициент несинусоидальности тока. Фаза "), 0);
    AddThree(d.Series, uPhases, QStringLiteral("U. Фаза "), 0);
    AddThree(d.Series, uLines, QStringLiteral("U. Фаза "), 3);
    AddThree(d.Series, i, QStringLiteral("I. Фаза "), 0);

    static const char *const tables[9] = {"ixstrgrdGarmKuf",   "ixstrgrdGarmKumf",  "ixstrgrdGarmKi",
                                          "ixstrgrdGarmFazaA", "ixstrgrdGarmFazaB", "ixstrgrdGarmFazaC",
                                          "ixstrgrdGarmUf",    "ixstrgrdGarmUmf",   "ixstrgrdGarmI"};
    d.Items = HarmonicItems(QStringLiteral("n"),
                            {QStringLiteral("K~U~(~n~)~"), QStringLiteral("K~I~(~n~)~"), QStringLiteral("U~s~g~(~n~)~"),
                             QStringLiteral("I~s~g~(~n~)~")},
                            tables, true);
    return d;
}

TSpectrumGroup::TDesign Interharmonics()
{
    TSpectrumGroup::TDesign d;
    d.Title = QStringLiteral("Интергармоники");
    d.Name = "gbIGarmonics";
    d.Selector = "cmbxIGarmonicsData";
    d.Chart = "chartIGarmonics";
    d.AutoButton = "btnIGAvtoMaxCoord";
    d.ScaleEdit = "spedIGMaxCoord";
    d.FirstNumber = 1;
    d.Symbol = QStringLiteral("m");
    d.Look = HarmonicsLook(QStringLiteral("Номер интергармоники"), 1, QStringLiteral("%"));

    static const char *const kuPhases[3] = {"serUFazaAIG", "serUFazaBIG", "serUFazaCIG"};
    static const char *const kuLines[3] = {"serUFazaABIG", "serUFazaBCIG", "serUFazaCAIG"};
    static const char *const ki[3] = {"serIFazaAIG", "serIFazaBIG", "serIFazaCIG"};
    static const char *const uPhases[3] = {"brsrsSeries_Uig_a", "brsrsSeries_Uig_B", "brsrsSeries_Uig_C"};
    static const char *const uLines[3] = {"brsrsSeries_Uig_AB", "brsrsSeries_Uig_BC", "brsrsSeries_Uig_CA"};
    static const char *const i[3] = {"brsrsSeries_Iig_A", "brsrsSeries_Iig_B", "brsrsSeries_Iig_C"};
    const QString u = QStringLiteral("Напряжение. Фаза ");
    AddThree(d.Series, kuPhases, u, 0);
    AddThree(d.Series, kuLines, u, 3);
    AddThree(d.Series, ki, QStringLiteral("Ток. Фаза "), 0);
    AddThree(d.Series, uPhases, QStringLiteral("Uig. Фаза "), 0);
    AddThree(d.Series, uLines, QStringLiteral("Uig. Фаза "), 3);
    AddThree(d.Series, i, QStringLiteral("Iig. Фаза "), 0);

    static const char *const tables[9] = {"ixstrngrdIGarmKuf",   "ixstrngrdIGarmKumf",  "ixstrngrdIGarmKi",
                                          "ixstrngrdIGarmFazaA", "ixstrngrdIGarmFazaB", "ixstrngrdIGarmFazaC",
                                          "ixstrngrdIGarmUf",    "ixstrngrdIGarmUmf",   "ixstrngrdIGarmIf"};
    d.Items = HarmonicItems(QStringLiteral("m"),
                            {QStringLiteral("K~U~i~g~(~m~)~"), QStringLiteral("K~I~i~g~(~m~)~"),
                             QStringLiteral("U~i~s~g~(~m~)~"), QStringLiteral("I~i~s~g~(~m~)~")},
                            tables, false);
    return d;
}

TSpectrumGroup::TDesign Power()
{
    TSpectrumGroup::TDesign d;
    d.Title = QStringLiteral("Мощности гармоник");
    d.Name = "gbGPower";
    d.Selector = "cb1";
    d.Chart = "chartGPower";
    d.AutoButton = "btn2";
    d.ScaleEdit = "se1";
    d.FirstNumber = 2;
    d.Symbol = QStringLiteral("n");
    d.Look.CategoryTitle = QStringLiteral("Номер гармоники");
    d.Look.ValueTitle = QStringLiteral("Мощность, Вт/вар");
    d.Look.FirstKey = 2;
    d.Look.DesignMaximum = 10;
    d.Look.Symmetric = true;
    d.Look.HintKeyCaption = QStringLiteral("Номер гармоники: ");
    d.Look.HintValueSuffix = QStringLiteral("%");

    static const char *const p[3] = {"serPFazaA", "serPFazaB", "serPFazaC"};
    static const char *const q[3] = {"serQFazaA", "serQFazaB", "serQFazaC"};
    static const char *const s[3] = {"serSFazaA", "serSFazaB", "serSFazaC"};
    AddThree(d.Series, p, QStringLiteral("P. Фаза "), 0);
    AddThree(d.Series, q, QStringLiteral("Q. Фаза "), 0);
    AddThree(d.Series, s, QStringLiteral("S. Фаза "), 0);

    const QString watt = QStringLiteral("Вт"), var = QStringLiteral("вар"), voltAmpere = QStringLiteral("В*A");
    const QString power = QStringLiteral("Мощность");
    d.Items.append({QStringLiteral("P(n)"),
                    "ixstrngrd1",
                    Three(QStringLiteral("P(n)~"), 0),
                    Same(watt),
                    3,
                    4,
                    power,
                    {watt},
                    Range3(kP),
                    PhaseColours(kP)});
    d.Items.append({QStringLiteral("Q(n)"),
                    "ixstrngrd2",
                    Three(QStringLiteral("Q(n)~"), 0),
                    Same(var),
                    3,
                    4,
                    power,
                    {var},
                    Range3(kQ),
                    PhaseColours(kQ)});
    d.Items.append({QStringLiteral("S(n)"),
                    "ixstrngrd3",
                    Three(QStringLiteral("S(n)~"), 0),
                    Same(voltAmpere),
                    3,
                    4,
                    power,
                    {voltAmpere},
                    Range3(kS),
                    PhaseColours(kS)});
    static const char *const phaseTables[3] = {"ixstrngrd4", "ixstrngrd5", "ixstrngrd6"};
    for (int ph = 0; ph < 3; ++ph) {
        const QString letter = QLatin1String(kLatinPhases[ph]);
        d.Items.append(
            {QStringLiteral("Фаза ") + letter,
             phaseTables[ph],
             {QStringLiteral("P(n)~") + letter, QStringLiteral("Q(n)~") + letter, QStringLiteral("S(n)~") + letter},
             {watt, var, voltAmpere},
             3,
             4,
             power,
             {watt, var, voltAmpere},
             {kP + ph, kQ + ph, kS + ph},
             {{kS + ph, kBlue}}});
    }
    return d;
}

} // namespace SpectrumDesigns
