#pragma once

// The channel over a serial port. One class serves a direct cable, a
// telephone modem (AT commands), a radio modem and an optical probe on RS232
// or a USB adapter, chosen by the record's Mode. The port is opened and
// configured when the channel is made; Connect then does what the mode needs
// (line control for a cable, dialling for a modem, the rate byte for a
// probe).
//
// The port is made in the constructor: make the channel in the thread that
// uses it (the polling thread), like the TCP channel's socket.

#include "channel/Channel.h"
#include "channel/SerialLine.h"

#include <QByteArray>
#include <QString>

#include <memory>

class TPCAComPort : public TPCACustom
{
public:
    // Opens the system's port named by the record.
    explicit TPCAComPort(const TPCASettings &settings);
    // Works over `line` (a test double of the port, say).
    TPCAComPort(const TPCASettings &settings, std::unique_ptr<IComLine> line);
    ~TPCAComPort() override;

    int Connect() override;
    bool IsSameTarget(const TPCASettings &settings) const override;
    bool IsSettingsChanged(const TPCASettings &settings) const override;
    // A modem is hung up whole even after a stop: its answers are waited
    // for, so this takes up to about 1 s (phone) or 2 s (radio modem).
    int Disconnect() override;
    int GetSettings(TPCASettings &settings) override;
    int ApplySettings(const TPCASettings &settings) override;
    // The carrier rule: a modem without carrier refuses at once with 22.
    int Write(const void *buffer, quint32 count, quint32 &written) override;
    int Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead) override;
    int CheckDevice() override;
    void Purge() override;
    // A modem's link is its carrier; a cable or a probe is up while the port is open.
    bool LinkUp() override;

    // The port this channel opens: the full name when the record has one.
    QString PortName() const { return PCAComPortName(kept_); }
    quint8 Mode() const { return kept_.ComPort.Mode; }

    // The byte that sets an optical probe's line rate.
    static quint8 ProbeRateCode(quint32 baudRate);
    // Read interval by mode: 25 ms cable, 500 ms phone modem, 1000 ms radio
    // modem, 25 ms optical probe.
    static int ReadIntervalMs(quint8 mode);
    // A write of `count` bytes may take 20 ms a byte and 2000 ms more.
    static int WriteTimeoutMs(quint32 count);

    static constexpr int kSettleMs = 250;
    static constexpr int kModemCommandMs = 2500;
    static constexpr int kRadioInitMs = 5000;
    static constexpr int kDialMs = 45000;
    static constexpr int kHangUpReadMs = 1000;
    // The longest wait for a line that keeps bringing bytes before an escape.
    static constexpr int kQuietLineMaxMs = 3000;
    // During a hang-up a reply is taken as soon as its text is in.
    static constexpr int kHangUpReadIntervalMs = 25;
    static constexpr int kModemAnswerCapacity = 255;
    static constexpr quint32 kProbeCommandRate = 9600;
    static constexpr int kProbeSwitchMs = 100;

private:
    int OpenPort();
    void ClosePort();
    bool ConfigureLine();
    void SetPortTimeouts();
    void PulseProbeLines();
    bool CarrierDetected();
    // Set by a hang-up: the modem ignores commands until they are up again.
    bool modemLinesDown_ = false;
    // A modem answers with CTS, and a carrier still up is the last call's
    // line: true when that already decides Connect (result set).
    bool ModemLineDecided(int &result);
    int DialPhoneModem();
    int ConnectRadioModem();
    int ConnectOptoAttach();
    int HangUpPhoneModem();
    int HangUpRadioModem();
    // Writes the command and reads the modem's answer (up to 255 bytes).
    QByteArray SendCommand(const QByteArray &command, int timeoutMs);
    // Hang-up steps. A modem takes an escape only from a quiet line: the tail
    // of a meter's answer is read and dropped first. Each reply is read until
    // the text expected or kHangUpReadMs, whatever a stop says.
    void AwaitQuietLine();
    void SendHangUpStep(const QByteArray &command, const QByteArray &expected);
    // Plain line I/O with the channel's codes, no carrier rule.
    int LineWrite(const void *buffer, quint32 count, quint32 &written);
    int LineRead(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead);
    bool IsModem() const;

    // Set while a hang-up runs: its waits do not give way to a stop.
    struct THangingUp
    {
        explicit THangingUp(bool &flag) : flag_(flag) { flag_ = true; }
        ~THangingUp() { flag_ = false; }
        THangingUp(const THangingUp &) = delete;
        THangingUp &operator=(const THangingUp &) = delete;
        bool &flag_;
    };
    bool hangingUp_ = false;

    // Byte 0 is 1 once a serial record was taken; bytes 1.. are the record's.
    TPCASettings kept_{};
    std::unique_ptr<IComLine> line_;
};

// Whether a modem's answer to the set-up command ("ATV0E0Q0&C1&D2\r") or to
// the init string counts as accepted.
bool ModemSetupAccepted(const QByteArray &answer);
bool ModemInitAccepted(const QByteArray &answer);
