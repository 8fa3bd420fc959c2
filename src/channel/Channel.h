#pragma once

// The byte channel to one meter. Every operation returns 0 on success and -1
// on failure and leaves a code in LastError (texts: PCAErrorText); nothing
// here throws and nothing talks to the user. Reads and writes are bounded by
// their time-outs, so a stalled device costs at most that time per call.
//
// A channel belongs to the thread that makes and connects it: the Qt I/O
// object behind it is made in that thread (the TCP socket on the first
// Connect, the serial port when the channel is made) and used there with
// blocking waits (no event loop needed).

#include "channel/ChannelSettings.h"
#include "channel/StopCheck.h"

#include <QtGlobal>
#include <memory>

class QDeadlineTimer;
class QIODevice;

class TPCACustom
{
public:
    // Handle -1, LastError 1 until a subclass says otherwise.
    explicit TPCACustom(const TPCASettings &settings);
    virtual ~TPCACustom();

    TPCACustom(const TPCACustom &) = delete;
    TPCACustom &operator=(const TPCACustom &) = delete;

    virtual int Connect();
    virtual bool IsSameTarget(const TPCASettings &settings) const;
    virtual bool IsSettingsChanged(const TPCASettings &settings) const;
    virtual int Disconnect();
    virtual int GetSettings(TPCASettings &settings);
    virtual int ApplySettings(const TPCASettings &settings);
    // Writes the whole buffer within kWriteTimeoutMs; `written` is the count
    // on success and 0 on failure (12 time-out or failure, 22 not connected).
    virtual int Write(const void *buffer, quint32 count, quint32 &written);
    // Returns as soon as at least one byte is in (up to `capacity`); 13 and no
    // bytes when nothing came within the time-out, 19 when the peer closed,
    // 22 when there is no open link to read from.
    virtual int Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead);
    virtual int CheckDevice();
    virtual void Purge() = 0;
    // False once the link is gone (a modem's carrier lost, the TCP peer
    // gone): a request cannot get through until the channel is connected
    // again.
    virtual bool LinkUp();

    // Every wait that may last (a connect, modem dialling, a read waiting for
    // bytes, the pauses around a connect) asks this check and ends at once
    // when it says stop: a read as on its time-out, a connect or a dial as
    // failed. Writes, the short line-protocol pauses and a modem's hang-up
    // (up to about 1 s for a phone modem, 2 s for a radio modem) run to
    // their end.
    void SetStopCheck(TStopCheck stopRequested) { stopRequested_ = std::move(stopRequested); }
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }

    qintptr Handle() const { return handle_; }
    int LastError() const { return lastError_; }

    static constexpr int kWriteTimeoutMs = 2000;

protected:
    // The open I/O object, or null when there is none.
    virtual QIODevice *IoDevice() const { return nullptr; }
    // True when the link has gone (peer closed, carrier lost): a read then
    // fails with 19 instead of waiting out its time-out.
    virtual bool LinkClosed() const { return IoDevice() == nullptr; }

    void SetLastError(int code) { lastError_ = code; }
    void SetHandle(qintptr handle) { handle_ = handle; }
    // Sleeps `ms`, cut short by a stop; false when stopped.
    bool PauseUnlessStopped(int ms) const;
    // How long the next wait may block: what is left of the deadline, in
    // slices short enough for the stop check.
    int WaitSliceMs(const QDeadlineTimer &deadline) const;

private:
    qintptr handle_ = -1;
    int lastError_ = pceNotImplemented;
    TStopCheck stopRequested_;
};

// A new channel for the record's ChannelType (1 serial, 2 TCP), or null for
// any other type. The channel may carry an error from its creation: check
// LastError before Connect.
std::unique_ptr<TPCACustom> CreatePCA(const TPCASettings &settings);
