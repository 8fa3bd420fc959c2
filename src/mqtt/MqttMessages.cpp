#include "mqtt/MqttMessages.h"

#include "archive/ArchiveColumns.h"
#include "engine/RecordSlots.h"

#include <charconv>
#include <cmath>
#include <map>

namespace Mqtt {
namespace {

void AppendString(QByteArray &json, const QString &text)
{
    json += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': json += "\\\""; break;
        case '\\': json += "\\\\"; break;
        case '\n': json += "\\n"; break;
        case '\r': json += "\\r"; break;
        case '\t': json += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                json +=
                    QByteArray("\\u00") + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                json += c;
        }
    }
    json += '"';
}

void AppendKey(QByteArray &json, const QString &key)
{
    AppendString(json, key);
    json += ':';
}

// Meter time carries no zone: no "Z"; the PC's time is UTC and says so.
void AppendTime(QByteArray &json, const QDateTime &time, bool utc)
{
    if (!time.isValid()) {
        json += "null";
        return;
    }
    const QDateTime shown = utc ? time.toUTC() : time;
    json += '"';
    json += shown.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
    if (utc)
        json += 'Z';
    json += '"';
}

} // namespace

QString MeterTopic(const QString &prefix, const TMeterIdentity &meter)
{
    return prefix + u'/' + meter.DeviceType + u'-' + QString::number(meter.FactoryNumber);
}

void AppendFloat(QByteArray &json, float value)
{
    if (!std::isfinite(value)) {
        json += "null";
        return;
    }
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    json.append(text, end.ptr - text);
}

std::optional<QString> Unit(const QString &group)
{
    static const std::map<QString, QString> units{
        {QStringLiteral("Urms"), QStringLiteral("V")},
        {QStringLiteral("U1"), QStringLiteral("V")},
        {QStringLiteral("U0"), QStringLiteral("V")},
        {QStringLiteral("U1seq"), QStringLiteral("V")},
        {QStringLiteral("U2"), QStringLiteral("V")},
        {QStringLiteral("dU1"), QStringLiteral("%")},
        {QStringLiteral("dU"), QStringLiteral("%")},
        {QStringLiteral("KU"), QStringLiteral("%")},
        {QStringLiteral("Irms"), QStringLiteral("A")},
        {QStringLiteral("I1"), QStringLiteral("A")},
        {QStringLiteral("I0"), QStringLiteral("A")},
        {QStringLiteral("I1seq"), QStringLiteral("A")},
        {QStringLiteral("I2"), QStringLiteral("A")},
        {QStringLiteral("KI"), QStringLiteral("%")},
        {QStringLiteral("P"), QStringLiteral("W")},
        {QStringLiteral("PSum"), QStringLiteral("W")},
        {QStringLiteral("Q"), QStringLiteral("var")},
        {QStringLiteral("QSum"), QStringLiteral("var")},
        {QStringLiteral("S"), QStringLiteral("VA")},
        {QStringLiteral("SSum"), QStringLiteral("VA")},
        {QStringLiteral("Km"), QString()},
        {QStringLiteral("KmSum"), QString()},
        {QStringLiteral("F"), QStringLiteral("Hz")},
        {QStringLiteral("dF"), QStringLiteral("Hz")},
        {QStringLiteral("K0U"), QStringLiteral("%")},
        {QStringLiteral("K2U"), QStringLiteral("%")},
        {QStringLiteral("K0I"), QStringLiteral("%")},
        {QStringLiteral("K2I"), QStringLiteral("%")},
    };
    const auto found = units.find(group);
    if (found == units.end())
        return std::nullopt;
    return found->second;
}

QByteArray CycleJson(const Archive::TCycleRow &row)
{
    QByteArray json;
    json.reserve(2048);
    json += "{\"meter_time\":";
    AppendTime(json, row.MeterTime, false);
    json += ",\"pc_time_utc\":";
    AppendTime(json, row.PcTimeUtc, true);
    json += ",\"values\":{";
    const auto quantities = Archive::Quantities();
    for (size_t i = 0; i < quantities.size() && i < row.Values.size(); ++i) {
        if (i > 0)
            json += ',';
        AppendKey(json, quantities[i].Name);
        AppendFloat(json, row.Values[i]);
    }
    json += "}}";
    return json;
}

QByteArray AggregateJson(const Archive::TAggregateRow &row)
{
    QByteArray json;
    json.reserve(6144);
    json += "{\"interval_start\":";
    AppendTime(json, row.Start, false);
    json += ",\"interval_seconds\":" + QByteArray::number(Archive::kIntervalSeconds);
    json += ",\"count\":" + QByteArray::number(row.ValuesCount);
    json += ",\"flags\":" + QByteArray::number(row.Flags);
    json += ",\"values\":{";
    const auto quantities = Archive::Quantities();
    for (size_t i = 0; i < quantities.size(); ++i) {
        if (i > 0)
            json += ',';
        AppendKey(json, quantities[i].Name);
        const auto at = [](const std::vector<float> &values, size_t i) { return i < values.size() ? values[i] : NAN; };
        json += "{\"avg\":";
        AppendFloat(json, at(row.Avg, i));
        json += ",\"min\":";
        AppendFloat(json, at(row.Min, i));
        json += ",\"max\":";
        AppendFloat(json, at(row.Max, i));
        json += '}';
    }
    json += "}}";
    return json;
}

QByteArray MetaJson(const TMeterIdentity &meter, const TSettingsCopy &settings)
{
    QByteArray json;
    json += "{\"device_type\":";
    AppendString(json, meter.DeviceType);
    json += ",\"factory_number\":" + QByteArray::number(meter.FactoryNumber);
    json += ",\"address\":" + QByteArray::number(meter.DeviceAddress);
    json += ",\"settings_read_utc\":";
    AppendTime(json, settings.ReadAtUtc, true);
    json += ",\"meter_time\":";
    AppendTime(json, Archive::MeterTimeFromDayCount(settings.MeterDateTime), false);
    // The nominals as the record keeps them in its first slots.
    json += ",\"nominals\":{";
    const auto slot = [&](int index) {
        return size_t(index) < settings.Slots.size() ? settings.Slots[size_t(index)] : NAN;
    };
    const struct
    {
        const char *Name;
        int Slot;
        const char *Unit;
    } nominals[] = {
        {"Unom_phase", VDSlot::UnomPhase, "V"},
        {"Unom_line", VDSlot::UnomLine, "V"},
        {"Inom", VDSlot::Inom, "A"},
        {"Inom_secondary", VDSlot::InomSecondary, "A"},
    };
    bool first = true;
    for (const auto &nominal : nominals) {
        if (!first)
            json += ',';
        first = false;
        json += '"' + QByteArray(nominal.Name) + "\":{\"value\":";
        AppendFloat(json, slot(nominal.Slot));
        json += ",\"unit\":\"" + QByteArray(nominal.Unit) + "\"}";
    }
    json += "},\"units\":{";
    first = true;
    for (const Archive::TQuantity &quantity : Archive::Quantities()) {
        if (!first)
            json += ',';
        first = false;
        AppendKey(json, quantity.Name);
        AppendString(json, Unit(quantity.Group).value_or(QString()));
    }
    json += "}}";
    return json;
}

} // namespace Mqtt
