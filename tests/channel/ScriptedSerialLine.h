#pragma once

// A serial line played from a script, for the modem, probe and line logic of
// the serial channel that a pseudo-terminal cannot carry. It records every
// line change, wait, write and read in order, answers reads from a queue, and
// shows whatever CTS/DSR/carrier states the test sets. Time is virtual: waits
// and read time-outs advance a clock instead of sleeping; a stop check given
// to the line ends a read's wait as the system's line does.

#include "channel/SerialLine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>

namespace testline {

struct TLineScript
{
    // What the channel did, in order: "open NAME", "close", "configure RATE hold=0|1",
    // "rate RATE", "interval MS", "DTR 0|1", "RTS 0|1", "wait MS", "clear",
    // "write TEXT" (\r and bytes below 32 escaped), "read TIMEOUT".
    QStringList events;
    QList<QByteArray> writes;

    // One answer per read; an empty queue (or an empty answer) is a read
    // that times out.
    std::deque<QByteArray> answers;
    TComSignals lines;
    // Runs after every write, e.g. to raise the carrier once a dial command went out.
    std::function<void(TLineScript &, const QByteArray &)> onWrite;

    TComOpenResult openResult = TComOpenResult::Ok;
    bool configureAccepted = true;
    quint32 refusedRate = 0; // this rate is refused by Configure and SetBaudRate
    TComIoResult writeResult = TComIoResult::Ok;

    bool dtr = false;
    bool rts = false;
    quint32 rate = 0;
    int readInterval = 0;
    bool open = false;
    qint64 clockMs = 0;

    // Events from index `from` on.
    QStringList EventsFrom(qsizetype from) const { return events.mid(from); }
};

inline QString Printable(const QByteArray &bytes)
{
    QString out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r')
            out += QStringLiteral("\\r");
        else if (b < 32 || b >= 127)
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
        else
            out += QChar(b);
    }
    return out;
}

class TScriptedComLine final : public IComLine
{
public:
    explicit TScriptedComLine(std::shared_ptr<TLineScript> script) : s_(std::move(script)) {}

    TComOpenResult Open(const QString &portName) override
    {
        s_->events << QStringLiteral("open ") + portName;
        s_->open = s_->openResult == TComOpenResult::Ok;
        return s_->openResult;
    }
    void Close() override
    {
        if (s_->open)
            s_->events << QStringLiteral("close");
        s_->open = false;
    }
    bool IsOpen() const override { return s_->open; }
    qintptr Handle() const override { return s_->open ? 77 : -1; }

    bool Configure(quint32 baudRate, bool holdLinesOn) override
    {
        s_->events << QStringLiteral("configure %1 hold=%2").arg(baudRate).arg(holdLinesOn ? 1 : 0);
        if (!s_->configureAccepted || baudRate == s_->refusedRate)
            return false;
        s_->rate = baudRate;
        s_->dtr = s_->rts = holdLinesOn;
        return true;
    }
    bool SetBaudRate(quint32 baudRate) override
    {
        s_->events << QStringLiteral("rate %1").arg(baudRate);
        if (baudRate == s_->refusedRate)
            return false;
        s_->rate = baudRate;
        return true;
    }
    void SetReadInterval(int ms) override
    {
        s_->events << QStringLiteral("interval %1").arg(ms);
        s_->readInterval = ms;
    }
    bool SetDtr(bool on) override
    {
        s_->events << QStringLiteral("DTR %1").arg(on ? 1 : 0);
        s_->dtr = on;
        return s_->open;
    }
    bool SetRts(bool on) override
    {
        s_->events << QStringLiteral("RTS %1").arg(on ? 1 : 0);
        s_->rts = on;
        return s_->open;
    }
    TComSignals Signals() override { return s_->open ? s_->lines : TComSignals{}; }

    TComIoResult Write(const char *data, quint32 count, int, quint32 &written) override
    {
        written = 0;
        const QByteArray bytes(data, qsizetype(count));
        s_->events << QStringLiteral("write ") + Printable(bytes);
        if (!s_->open)
            return TComIoResult::Refused;
        if (s_->writeResult != TComIoResult::Ok)
            return s_->writeResult;
        s_->writes << bytes;
        written = count;
        if (s_->onWrite)
            s_->onWrite(*s_, bytes);
        return TComIoResult::Ok;
    }

    TComIoResult Read(char *buffer, quint32 capacity, int timeoutMs, quint32 &got) override
    {
        got = 0;
        s_->events << QStringLiteral("read %1").arg(timeoutMs);
        if (!s_->open)
            return TComIoResult::Refused;
        QByteArray answer;
        if (!s_->answers.empty()) {
            answer = s_->answers.front();
            s_->answers.pop_front();
        }
        if (answer.isEmpty()) {
            // The wait for a byte that never comes, given up at a stop as
            // the system's line does.
            for (qint64 waited = 0; waited < timeoutMs && !StopRequested();) {
                const qint64 step = std::min<qint64>(kStopCheckIntervalMs, timeoutMs - waited);
                s_->clockMs += step;
                waited += step;
            }
            return TComIoResult::TimedOut;
        }
        got = std::min<quint32>(capacity, quint32(answer.size()));
        std::memcpy(buffer, answer.constData(), got);
        return TComIoResult::Ok;
    }

    void ClearQueues() override { s_->events << QStringLiteral("clear"); }

    void Pause(int ms) override
    {
        s_->events << QStringLiteral("wait %1").arg(ms);
        s_->clockMs += ms;
    }

private:
    std::shared_ptr<TLineScript> s_;
};

} // namespace testline
