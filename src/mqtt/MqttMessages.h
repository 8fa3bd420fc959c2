#pragma once

// The payloads the publisher sends, as JSON text: one per whole cycle, one per
// 10-minute interval, and the meter's description. Quantities carry the
// archive's column names; every float is the shortest text that reads back to
// the same float32, and a value that is no finite number is null.

#include "archive/ArchiveRows.h"
#include "engine/CycleSink.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace Mqtt {

// "PREFIX/<device_type>-<factory_number>"
QString MeterTopic(const QString &prefix, const TMeterIdentity &meter);

// The shortest decimal text of a float32, or null.
void AppendFloat(QByteArray &json, float value);

// The unit of an archive quantity group ("V", "A", "Hz", "%", "W", "var",
// "VA"; "" for a ratio); nothing for a group the table does not know.
std::optional<QString> Unit(const QString &group);

QByteArray CycleJson(const Archive::TCycleRow &row);
QByteArray AggregateJson(const Archive::TAggregateRow &row);
QByteArray MetaJson(const TMeterIdentity &meter, const TSettingsCopy &settings);

} // namespace Mqtt
