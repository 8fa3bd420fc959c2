#pragma once

// What the window benchmarks share: one application on the offscreen
// platform, and a record with the nominals of a typical low-voltage meter.

#include "engine/MeasurementRecord.h"
#include "engine/RecordSlots.h"

#include <QApplication>

#include <vector>

namespace benchsupport {

inline QApplication &App()
{
    static int argc = 1;
    static char name[] = "bench";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // never destroyed: it must outlive the benchmark library's own statics
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

// Nominals of 57.7 V, 100 V and 5 A, and a meter time, as after settings.
inline void WriteTypicalNominals(TDataStorageManager &record)
{
    std::vector<float> nominals(VDSlot::NominalsCount, 0.0f);
    nominals[VDSlot::UnomPhase] = 57.7f;
    nominals[VDSlot::UnomLine] = 100.0f;
    nominals[VDSlot::Inom] = 5.0f;
    record.WriteNominals(nominals);
    record.SetDeviceDateTime(45000.5);
}

} // namespace benchsupport
