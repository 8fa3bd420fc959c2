#pragma once

// The shortest decimal text of a float32 that reads back to the same float
// ("-0.04", never "-0.0399999991059303"): how the MQTT messages, the trends
// page's CSV and the archive's export print the meter's values.

#include <QString>

// With the given decimal mark and a power of ten as "1E-5"; "" for NaN and
// the infinities. A double is first taken as the float32 the meter gave.
QString ShortestFloatText(float value, QChar decimalSeparator = u'.');
