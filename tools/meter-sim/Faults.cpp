#include "Faults.h"

#include <QByteArray>
#include <QStringList>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

struct TKindName
{
    const char16_t *Name;
    TFaultKind Kind;
    int DefaultValue;
};

constexpr TKindName kKinds[] = {
    {u"garbage", TFaultKind::Garbage, 5},    {u"checksum", TFaultKind::Checksum, 0},
    {u"silence", TFaultKind::Silence, 0},    {u"close", TFaultKind::Close, 0},
    {u"error", TFaultKind::Error, 7},        {u"busy", TFaultKind::Busy, 7},
    {u"notready", TFaultKind::NotReady, 1},  {u"freeze", TFaultKind::Freeze, 0},
    {u"length", TFaultKind::Length, -1},     {u"errorfield", TFaultKind::ErrorField, 200},
    {u"delay", TFaultKind::Delay, 1500},     {u"split", TFaultKind::Split, 7},
    {u"dribble", TFaultKind::Dribble, 1000},
};

struct TTargetName
{
    const char16_t *Name;
    TRequestKind Kind;
};

constexpr TTargetName kTargets[] = {
    {u"datetime", TRequestKind::DateTime},   {u"settings", TRequestKind::Settings},
    {u"intervals", TRequestKind::Intervals}, {u"data", TRequestKind::Data},
    {u"osc", TRequestKind::Oscillogram},     {u"password", TRequestKind::Password},
    {u"other", TRequestKind::Other},
};

} // namespace

QString RequestKindName(TRequestKind kind)
{
    for (const TTargetName &t : kTargets)
        if (t.Kind == kind)
            return QString::fromUtf16(t.Name);
    return u"?"_s;
}

bool TFaultSet::Any() const
{
    return GarbageBytes > 0 || BadChecksum || Silence || Close || ErrorCode || FreezeClock || LengthDelta != 0 ||
           ErrorField || DelayMs > 0 || SplitBytes > 0 || DribbleMs > 0;
}

QString TFaultSet::Describe() const
{
    QStringList parts;
    if (Close)
        parts << u"close"_s;
    if (Silence)
        parts << u"silence"_s;
    if (ErrorCode)
        parts << u"error %1"_s.arg(*ErrorCode);
    if (FreezeClock)
        parts << u"frozen clock"_s;
    if (GarbageBytes > 0)
        parts << u"%1 garbage bytes"_s.arg(GarbageBytes);
    if (BadChecksum)
        parts << u"bad checksum"_s;
    if (LengthDelta != 0)
        parts << u"length %1%2"_s.arg(LengthDelta > 0 ? u"+"_s : QString()).arg(LengthDelta);
    if (ErrorField)
        parts << u"error field %1"_s.arg(*ErrorField);
    if (DelayMs > 0)
        parts << u"delay %1 ms"_s.arg(DelayMs);
    if (SplitBytes > 0)
        parts << u"split by %1"_s.arg(SplitBytes);
    if (DribbleMs > 0)
        parts << u"one byte every %1 ms"_s.arg(DribbleMs);
    return parts.join(u", "_s);
}

std::optional<QString> TFaultPlan::Add(const QString &text)
{
    const QStringList items = text.split(u',', Qt::SkipEmptyParts);
    if (items.isEmpty())
        return u"empty fault rule"_s;

    TFaultRule rule;
    const QString kindName = items.first().trimmed().toLower();
    bool kindFound = false;
    for (const TKindName &k : kKinds) {
        if (kindName == QStringView(k.Name)) {
            rule.Kind = k.Kind;
            rule.Value = k.DefaultValue;
            kindFound = true;
        }
    }
    if (!kindFound)
        return u"unknown fault kind '%1'"_s.arg(kindName);

    bool countGiven = false, probabilityGiven = false, everyGiven = false;
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QString item = items[i].trimmed();
        const qsizetype eq = item.indexOf(u'=');
        if (eq <= 0)
            return u"'%1' is not key=value"_s.arg(item);
        const QString key = item.left(eq).toLower();
        const QString value = item.mid(eq + 1);
        bool ok = false;
        if (key == u"on") {
            if (value == u"any")
                rule.Target.reset(), ok = true;
            for (const TTargetName &t : kTargets)
                if (value == QStringView(t.Name))
                    rule.Target = t.Kind, ok = true;
        } else if (key == u"skip") {
            rule.Skip = value.toInt(&ok);
            ok = ok && rule.Skip >= 0;
        } else if (key == u"count") {
            rule.Count = value.toInt(&ok);
            ok = ok && rule.Count >= -1;
            countGiven = true;
        } else if (key == u"every") {
            rule.Every = value.toInt(&ok);
            ok = ok && rule.Every >= 1;
            everyGiven = true;
        } else if (key == u"prob") {
            rule.Probability = value.toDouble(&ok);
            ok = ok && rule.Probability >= 0.0 && rule.Probability <= 1.0;
            probabilityGiven = true;
        } else if (key == u"value") {
            rule.Value = value.toInt(&ok);
        } else {
            return u"unknown key '%1'"_s.arg(key);
        }
        if (!ok)
            return u"bad value in '%1'"_s.arg(item);
    }
    if ((probabilityGiven || everyGiven) && !countGiven)
        rule.Count = -1;

    const bool valueOk = [&] {
        switch (rule.Kind) {
        case TFaultKind::Garbage: return rule.Value >= 1 && rule.Value <= 65535;
        case TFaultKind::Error: return rule.Value >= 0 && rule.Value <= 127;
        case TFaultKind::ErrorField: return rule.Value >= 0 && rule.Value <= 65535;
        case TFaultKind::Delay: return rule.Value >= 0 && rule.Value <= 600000;
        case TFaultKind::Split: return rule.Value >= 1;
        case TFaultKind::Dribble: return rule.Value >= 1 && rule.Value <= 600000;
        default: return true;
        }
    }();
    if (!valueOk)
        return u"value %1 is out of range for %2"_s.arg(rule.Value).arg(kindName);

    rules_.append(rule);
    return std::nullopt;
}

TFaultSet TFaultPlan::Decide(TRequestKind kind)
{
    TFaultSet set;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (TFaultRule &rule : rules_) {
        if (rule.Target && *rule.Target != kind)
            continue;
        const int seen = rule.Seen++;
        if (seen < rule.Skip || (seen - rule.Skip) % rule.Every != 0)
            continue;
        if (rule.Count >= 0 && rule.Fired >= rule.Count)
            continue;
        if (rule.Probability < 1.0 && uniform(random_) >= rule.Probability)
            continue;
        ++rule.Fired;
        switch (rule.Kind) {
        case TFaultKind::Garbage: set.GarbageBytes += rule.Value; break;
        case TFaultKind::Checksum: set.BadChecksum = true; break;
        case TFaultKind::Silence: set.Silence = true; break;
        case TFaultKind::Close: set.Close = true; break;
        case TFaultKind::Error:
        case TFaultKind::Busy:
        case TFaultKind::NotReady: set.ErrorCode = rule.Value; break;
        case TFaultKind::Freeze: set.FreezeClock = true; break;
        case TFaultKind::Length: set.LengthDelta += rule.Value; break;
        case TFaultKind::ErrorField: set.ErrorField = rule.Value; break;
        case TFaultKind::Delay: set.DelayMs += rule.Value; break;
        case TFaultKind::Split: set.SplitBytes = rule.Value; break;
        case TFaultKind::Dribble: set.DribbleMs = rule.Value; break;
        }
    }
    return set;
}

QByteArray TFaultPlan::Garbage(int count)
{
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes(count, '\0');
    for (char &b : bytes)
        b = static_cast<char>(byte(random_));
    return bytes;
}

} // namespace MeterSim
