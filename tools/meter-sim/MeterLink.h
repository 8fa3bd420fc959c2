#pragma once

// One connection to the meter (a TCP client or the serial line): takes
// requests out of the byte stream, lets the session answer them, spoils the
// answers the fault plan picks, and writes them out, late or in pieces when
// asked to.

#include "Faults.h"
#include "FrameCodec.h"
#include "SentLog.h"
#include "Session.h"
#include "Trace.h"

#include <QIODevice>
#include <QObject>
#include <QTimer>
#include <deque>

namespace MeterSim {

class TMeterLink : public QObject
{
    Q_OBJECT

public:
    // The device stays owned by the caller and must outlive the link.
    TMeterLink(QIODevice *device, QString name, TMeter &meter, TFaultPlan &faults, const TTrace &trace,
               QObject *parent = nullptr);
    ~TMeterLink() override;

    const TRequestReader::TCounters &Counters() const { return reader_.Counters(); }
    quint64 Answers() const { return answers_; }
    // Where the link records its data answers and fired faults (none: null).
    void SetSentLog(TSentLog *log) { sentLog_ = log; }

signals:
    // A fault asked for the connection to be dropped. The link ignores the
    // device from then on; the owner closes it (later, not from the handler).
    void CloseRequested();

private:
    struct TPendingWrite
    {
        QByteArray Bytes;
        int DelayMs = 0;
        int Piece = 0; // 0: all at once
        int GapMs = 0; // between pieces
    };

    void OnReadyRead();
    void Serve(const TFrame &request);
    void Send(TPendingWrite write);
    void Pump();

    QIODevice *device_;
    QString name_;
    TMeterSession session_;
    TFaultPlan &faults_;
    const TTrace &trace_;
    TSentLog *sentLog_ = nullptr;
    TRequestReader reader_;
    QTimer quietLine_;  // an incomplete frame is dropped when the line stays quiet
    QTimer writeTimer_; // paces delayed and split answers
    std::deque<TPendingWrite> outgoing_;
    quint64 requests_ = 0;
    quint64 answers_ = 0;
    bool closing_ = false;
};

} // namespace MeterSim
