#pragma once

// A binary record of what the simulator did to the far end, for long runs
// that check the far end shows exactly the values it was sent and never a
// stale or spoiled set: every data answer that left (or was queued to leave)
// and every fault that fired.
//
// Records follow each other, each led by its type byte:
//   'D' error field (u16 LE), data length (u32 LE), the data, then a fault
//       text (u8 length, UTF-8; empty for a clean answer)
//   'F' text (u8 length, UTF-8): the request kind and the faults applied
// A record is flushed before its answer is written, so a reader that has
// received an answer finds it in the file.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace MeterSim {

class TSentLog
{
public:
    // False with the reason when the file cannot be made.
    bool Open(const QString &path, QString *error);
    bool IsOpen() const { return file_.isOpen(); }

    void DataSent(quint16 errorField, const QByteArray &data, const QString &faults);
    void FaultFired(const QString &text);

private:
    void Write(const QByteArray &record);

    QFile file_;
};

} // namespace MeterSim
