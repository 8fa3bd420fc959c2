#include "channel/SerialChannel.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

namespace {

// A modem answer is judged as text up to its first NUL, and never past what
// was read.
bool AnswerContains(const QByteArray &answer, const char *text)
{
    const qsizetype nul = answer.indexOf('\0');
    return answer.left(nul < 0 ? answer.size() : nul).contains(text);
}

} // namespace

bool ModemSetupAccepted(const QByteArray &answer)
{
    const qsizetype n = answer.size();
    if (n > 0) {
        switch (answer[0]) {
        case 'O':
            if (n > 2)
                return true;
            break;
        case 'A':
            if (n > 5)
                return true;
            break;
        case '\r':
            if (n > 3)
                return true;
            break;
        case '0':
            if (n > 1)
                return true;
            break;
        default: break;
        }
    }
    return AnswerContains(answer, "OK");
}

bool ModemInitAccepted(const QByteArray &answer)
{
    const qsizetype n = answer.size();
    if (n > 0) {
        switch (answer[0]) {
        case 'A':
            if (n >= 5)
                return true;
            break;
        case '\r':
            if (n > 3)
                return true;
            break;
        case '0': return true;
        default: break;
        }
    }
    return AnswerContains(answer, "OK");
}

TPCAComPort::TPCAComPort(const TPCASettings &settings) : TPCAComPort(settings, nullptr) {}

TPCAComPort::TPCAComPort(const TPCASettings &settings, std::unique_ptr<IComLine> line)
    : TPCACustom(settings), line_(std::move(line))
{
    if (settings.ChannelType != pcaComPort) {
        SetLastError(pceBadType);
        return;
    }
    if (!line_)
        line_ = CreateSystemComLine();
    // The line's waits give way to the channel's stop, except the hang-up's:
    // a modem left in a call (a radio modem ignores DTR) would hold the line.
    line_->SetStopCheck([this] { return !hangingUp_ && StopRequested(); });
    std::memcpy(kept_.Bytes + 1, settings.Bytes + 1, sizeof kept_.Bytes - 1);
    kept_.ChannelType = pcaComPort;
    OpenPort();
}

TPCAComPort::~TPCAComPort()
{
    Disconnect();
    ClosePort();
    SetLastError(pceOk);
}

quint8 TPCAComPort::ProbeRateCode(quint32 baudRate)
{
    switch (baudRate) {
    case 2400: return 0x1A;
    case 9600: return 0x16;
    case 19200: return 0x13;
    case 57600: return 0x11;
    case 115200: return 0x10;
    default: return 0x16;
    }
}

int TPCAComPort::ReadIntervalMs(quint8 mode)
{
    switch (mode) {
    case cpmPhoneModem: return 500;
    case cpmRadioModem: return 1000;
    default: return 25;
    }
}

int TPCAComPort::WriteTimeoutMs(quint32 count)
{
    const qint64 ms = 20 * qint64(count) + kWriteTimeoutMs;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : int(ms);
}

bool TPCAComPort::IsModem() const
{
    return kept_.ComPort.Mode == cpmPhoneModem || kept_.ComPort.Mode == cpmRadioModem;
}

// ------------------------------------------------------------ port and line

int TPCAComPort::OpenPort()
{
    SetLastError(pceOk);
    switch (line_->Open(PortName())) {
    case TComOpenResult::Ok: break;
    case TComOpenResult::AccessDenied: SetLastError(pcePortBusy); return -1;
    case TComOpenResult::NoPermission: SetLastError(pcePortNoPermission); return -1;
    case TComOpenResult::NotALine: SetLastError(pcePortInit); return -1;
    case TComOpenResult::Failed: SetLastError(pcePortNotFound); return -1;
    }
    SetHandle(line_->Handle());
    if (!ConfigureLine()) {
        SetLastError(pcePortInit);
        ClosePort();
        return -1;
    }
    // Linux has no driver queue sizes to set; the port's buffers grow as needed.
    SetPortTimeouts();
    if (IsModem()) {
        line_->SetRts(true);
        line_->SetDtr(true);
        if (!line_->Signals().Cts) {
            SetLastError(pceModemNotFound);
            ClosePort();
        }
    }
    line_->Pause(kSettleMs);
    return LastError() == pceOk ? 0 : -1;
}

void TPCAComPort::ClosePort()
{
    if (line_)
        line_->Close();
    SetHandle(-1);
}

bool TPCAComPort::ConfigureLine()
{
    return line_->Configure(kept_.ComPort.BaudRate, kept_.ComPort.Mode == cpmOptoAttach);
}

void TPCAComPort::SetPortTimeouts()
{
    line_->SetReadInterval(ReadIntervalMs(kept_.ComPort.Mode));
}

void TPCAComPort::PulseProbeLines()
{
    if (kept_.ComPort.LinesOn == 0)
        return;
    // Wakes the probe: the lines end high and power it.
    line_->SetRts(true);
    line_->Pause(5);
    line_->SetDtr(true);
    line_->Pause(25);
    line_->SetRts(false);
    line_->Pause(5);
    line_->SetDtr(false);
    line_->Pause(25);
    line_->SetRts(true);
    line_->Pause(5);
    line_->SetDtr(true);
    line_->Pause(10);
}

bool TPCAComPort::CarrierDetected()
{
    return line_ && line_->IsOpen() && line_->Signals().Carrier;
}

// ------------------------------------------------------------ byte I/O

int TPCAComPort::LineWrite(const void *buffer, quint32 count, quint32 &written)
{
    written = 0;
    SetLastError(pceOk);
    if (!line_ || (buffer == nullptr && count > 0)) {
        SetLastError(pceConnectionLost);
        return -1;
    }
    switch (line_->Write(static_cast<const char *>(buffer), count, WriteTimeoutMs(count), written)) {
    case TComIoResult::Ok: return 0;
    case TComIoResult::Refused:
        written = 0;
        SetLastError(pceConnectionLost);
        return -1;
    case TComIoResult::TimedOut:
        written = 0;
        SetLastError(pceWrite);
        Purge();
        return -1;
    case TComIoResult::Failed: break;
    }
    written = 0;
    SetLastError(pceWrite);
    return -1;
}

int TPCAComPort::LineRead(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead)
{
    bytesRead = 0;
    SetLastError(pceOk);
    if (!line_ || (buffer == nullptr && capacity > 0)) {
        SetLastError(pceConnectionLost);
        return -1;
    }
    if (capacity == 0)
        return 0;
    quint32 got = 0;
    switch (line_->Read(static_cast<char *>(buffer), capacity, timeoutMs, got)) {
    case TComIoResult::Ok:
        if (got == 0) {
            SetLastError(pceServerNotFound);
            return -1;
        }
        bytesRead = std::min(got, capacity);
        return 0;
    case TComIoResult::Refused: SetLastError(pceConnectionLost); return -1;
    case TComIoResult::TimedOut:
        Purge();
        SetLastError(pceRead);
        return -1;
    case TComIoResult::Failed: break;
    }
    SetLastError(pceRead);
    return -1;
}

int TPCAComPort::Write(const void *buffer, quint32 count, quint32 &written)
{
    written = 0;
    if (line_ && line_->IsOpen())
        line_->ClearQueues();
    const quint8 mode = kept_.ComPort.Mode;
    if (mode == cpmDirect || mode == cpmOptoAttach || CarrierDetected())
        return LineWrite(buffer, count, written);
    SetLastError(pceConnectionLost);
    return -1;
}

int TPCAComPort::Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead)
{
    bytesRead = 0;
    const quint8 mode = kept_.ComPort.Mode;
    if (mode == cpmDirect || mode == cpmOptoAttach || CarrierDetected())
        return LineRead(buffer, capacity, timeoutMs, bytesRead);
    SetLastError(pceConnectionLost);
    return -1;
}

void TPCAComPort::Purge()
{
    // I/O here is synchronous: nothing is left pending to abort, only the
    // queues to clear.
    if (line_ && line_->IsOpen())
        line_->ClearQueues();
}

QByteArray TPCAComPort::SendCommand(const QByteArray &command, int timeoutMs)
{
    // The answer decides; the I/O codes of a modem command are not the
    // outcome of the operation that sends it.
    const int saved = LastError();
    // The whole command goes out: cutting a long number to the modem
    // buffer's 255 bytes would dial another one.
    quint32 written = 0;
    LineWrite(command.constData(), quint32(command.size()), written);
    QByteArray answer(kModemAnswerCapacity, '\0');
    quint32 got = 0;
    LineRead(answer.data(), quint32(answer.size()), timeoutMs, got);
    answer.truncate(qsizetype(got));
    SetLastError(saved);
    return answer;
}

// ------------------------------------------------------------ connecting

int TPCAComPort::Connect()
{
    if (kept_.ChannelType != pcaComPort || !line_) {
        SetLastError(pceBadType);
        return -1;
    }
    // A port that could not be opened (an adapter not yet plugged in, a
    // modem switched off) is tried again rather than "connected" closed.
    if (!line_->IsOpen() && OpenPort() != 0)
        return -1;
    switch (kept_.ComPort.Mode) {
    case cpmDirect:
        PulseProbeLines();
        SetPortTimeouts();
        SetLastError(pceOk);
        return 0;
    case cpmPhoneModem: return DialPhoneModem();
    case cpmRadioModem: return ConnectRadioModem();
    case cpmOptoAttach: return ConnectOptoAttach();
    default: SetLastError(pceNotImplemented); return -1;
    }
}

bool TPCAComPort::ModemLineDecided(int &result)
{
    if (modemLinesDown_) {
        // A call after a hang-up: a modem with DTR low (&D2) takes no command.
        line_->SetRts(true);
        line_->SetDtr(true);
        line_->Pause(kSettleMs);
        modemLinesDown_ = false;
    }
    const TComSignals lines = line_->Signals();
    if (!lines.Cts) {
        SetLastError(pceModemNotFound);
        result = -1;
        return true;
    }
    if (lines.Carrier) {
        // The line is still up from the last call.
        SetLastError(pceOk);
        result = 0;
        return true;
    }
    SetLastError(pceModemNoCarrier);
    return false;
}

int TPCAComPort::DialPhoneModem()
{
    SetLastError(pceNotImplemented);
    if (int result = 0; ModemLineDecided(result))
        return result;
    // Numeric results, no echo, results on, DCD follows the carrier, hang up
    // when DTR drops.
    if (!ModemSetupAccepted(SendCommand(QByteArrayLiteral("ATV0E0Q0&C1&D2\r"), kModemCommandMs))) {
        SetLastError(pceModemInit);
        return -1;
    }
    const QByteArray init = kept_.ComPort.InitString.Bytes();
    if (!init.isEmpty() && !ModemInitAccepted(SendCommand(init + '\r', kModemCommandMs))) {
        SetLastError(pceModemInit);
        return -1;
    }
    QByteArray dial;
    if (kept_.ComPort.Phone.DialKind == 0)
        dial = QByteArrayLiteral("ATd\r");
    else
        dial = (kept_.ComPort.Phone.ToneDial != 0 ? QByteArrayLiteral("ATdt") : QByteArrayLiteral("ATdp")) +
               kept_.ComPort.Phone.PhoneNumber.Bytes() + '\r';
    // A stop that came while the modem was set up: no call is started.
    if (StopRequested()) {
        SetLastError(pceModemNoCarrier);
        return -1;
    }
    // A stop cuts the wait for the call short, and the modem is hung up.
    SendCommand(dial, kDialMs);
    if (CarrierDetected()) {
        SetLastError(pceOk);
        return 0;
    }
    HangUpPhoneModem();
    SetLastError(pceModemNoCarrier);
    return -1;
}

int TPCAComPort::ConnectRadioModem()
{
    SetLastError(pceNotImplemented);
    if (int result = 0; ModemLineDecided(result))
        return result;
    const QByteArray init = kept_.ComPort.InitString.Bytes();
    if (!init.isEmpty() && !AnswerContains(SendCommand(init + '\r', kRadioInitMs), "cmd:")) {
        SetLastError(pceModemInit);
        return -1;
    }
    if (StopRequested()) {
        SetLastError(pceModemNoCarrier);
        return -1;
    }
    SendCommand(QByteArrayLiteral("c ") + kept_.ComPort.CallNumber.Bytes() + '\r', kDialMs);
    if (CarrierDetected()) {
        SetLastError(pceOk);
        return 0;
    }
    HangUpRadioModem();
    SetLastError(pceModemNoCarrier);
    return -1;
}

int TPCAComPort::ConnectOptoAttach()
{
    SetLastError(pceNotImplemented);
    PulseProbeLines();
    // The probe takes its rate command at 9600 bit/s, with RTS low.
    line_->SetBaudRate(kProbeCommandRate);
    line_->SetRts(false);
    line_->Pause(kProbeSwitchMs);
    SetLastError(pceNoOptoAttach);
    const quint8 code = ProbeRateCode(kept_.ComPort.BaudRate);
    quint32 written = 0;
    const bool sent = LineWrite(&code, 1, written) == 0 && written == 1;
    line_->Pause(kProbeSwitchMs);
    line_->SetRts(true);
    line_->Pause(kProbeSwitchMs);
    line_->SetBaudRate(kept_.ComPort.BaudRate);
    if (!sent) {
        // The port took no byte at all (an adapter pulled out): the probe was
        // never told its rate, so the channel is not connected.
        SetLastError(pceNoOptoAttach);
        return -1;
    }
    SetLastError(pceOk);
    return 0;
}

// ------------------------------------------------------------ disconnecting

// The hang-up runs whole, after a stop too: the line is let go quiet, each
// command goes out to the line and its answer is waited for (kHangUpReadMs
// each) before the next step, or the modem would take the next bytes for data
// and stay in the call.
void TPCAComPort::AwaitQuietLine()
{
    // The mode's read interval is the silence that ends any answer here.
    const int quietMs = ReadIntervalMs(kept_.ComPort.Mode);
    QElapsedTimer waited;
    waited.start();
    char sink[kModemAnswerCapacity];
    for (;;) {
        quint32 got = 0;
        if (line_->Read(sink, sizeof sink, quietMs, got) != TComIoResult::Ok || got == 0)
            break;
        if (waited.elapsed() >= kQuietLineMaxMs)
            break; // a line that never goes quiet: the escape goes anyway
    }
    line_->ClearQueues();
}

void TPCAComPort::SendHangUpStep(const QByteArray &command, const QByteArray &expected)
{
    quint32 written = 0;
    LineWrite(command.constData(), quint32(command.size()), written);
    QByteArray reply;
    QElapsedTimer waited;
    waited.start();
    char buffer[kModemAnswerCapacity];
    for (int left = kHangUpReadMs; left > 0 && !reply.contains(expected) && reply.size() < kModemAnswerCapacity;
         left = kHangUpReadMs - int(waited.elapsed())) {
        quint32 got = 0;
        if (line_->Read(buffer, sizeof buffer, left, got) != TComIoResult::Ok || got == 0)
            break;
        reply.append(buffer, qsizetype(got));
    }
}

int TPCAComPort::HangUpPhoneModem()
{
    const THangingUp hangingUp(hangingUp_);
    line_->SetReadInterval(kHangUpReadIntervalMs);
    AwaitQuietLine();
    // "0" with the set-up's numeric answers, "OK" from a modem reset by the init string
    SendHangUpStep(QByteArrayLiteral("+++"), QByteArrayLiteral("0"));
    // Dropping DTR ends the call (&D2 of the set-up command).
    line_->SetDtr(false);
    line_->SetRts(false);
    line_->SetReadInterval(ReadIntervalMs(kept_.ComPort.Mode));
    modemLinesDown_ = true;
    SetLastError(pceOk);
    return 0;
}

int TPCAComPort::HangUpRadioModem()
{
    const THangingUp hangingUp(hangingUp_);
    line_->SetReadInterval(kHangUpReadIntervalMs);
    AwaitQuietLine();
    // A radio modem ends its call on "D" only: DTR does not concern it.
    SendHangUpStep(QByteArrayLiteral("\x03\x03\x03"), QByteArrayLiteral("cmd:"));
    SendHangUpStep(QByteArrayLiteral("D\r"), QByteArrayLiteral("cmd:"));
    line_->SetDtr(false);
    line_->SetRts(false);
    line_->SetReadInterval(ReadIntervalMs(kept_.ComPort.Mode));
    modemLinesDown_ = true;
    SetLastError(pceOk);
    return 0;
}

int TPCAComPort::Disconnect()
{
    if (kept_.ChannelType != pcaComPort || !line_ || !line_->IsOpen()) {
        // Nothing open: nothing to hang up or to lower.
        if (kept_.ChannelType != pcaComPort) {
            SetLastError(pceBadType);
            return -1;
        }
        SetLastError(pceOk);
        return 0;
    }
    switch (kept_.ComPort.Mode) {
    case cpmDirect:
    case cpmOptoAttach:
        line_->SetDtr(false);
        line_->SetRts(false);
        line_->Pause(kSettleMs);
        SetLastError(pceOk);
        return 0;
    case cpmPhoneModem:
    case cpmRadioModem:
        // Hung up already (a stop, then the channel's end): a second escape
        // would only wait out its answers.
        if (modemLinesDown_) {
            SetLastError(pceOk);
            return 0;
        }
        return kept_.ComPort.Mode == cpmPhoneModem ? HangUpPhoneModem() : HangUpRadioModem();
    default: SetLastError(pceNotImplemented); return -1;
    }
}

// ------------------------------------------------------------ settings

int TPCAComPort::GetSettings(TPCASettings &settings)
{
    std::memcpy(settings.Bytes + 1, kept_.Bytes + 1, sizeof settings.Bytes - 1);
    settings.Bytes[0] = pcaComPort;
    SetLastError(pceOk);
    return 0;
}

bool TPCAComPort::IsSameTarget(const TPCASettings &settings) const
{
    // Case matters: /dev/ttyUSB0 and /dev/ttyusb0 are different devices.
    return kept_.ChannelType == pcaComPort && settings.ChannelType == pcaComPort &&
           PCAComPortName(settings) == PortName();
}

bool TPCAComPort::IsSettingsChanged(const TPCASettings &settings) const
{
    if (!IsSameTarget(settings))
        return false;
    const TPCAComPortRecord &now = kept_.ComPort;
    const TPCAComPortRecord &next = settings.ComPort;
    if (next.BaudRate != now.BaudRate || next.Mode != now.Mode)
        return true;
    switch (now.Mode) {
    case cpmPhoneModem:
        if (next.Phone.DialKind != now.Phone.DialKind)
            return true;
        return next.Phone.DialKind == 1 && next.Phone.PhoneNumber.Bytes() != now.Phone.PhoneNumber.Bytes();
    case cpmRadioModem: return next.CallNumber.Bytes() != now.CallNumber.Bytes();
    default: return false;
    }
}

int TPCAComPort::ApplySettings(const TPCASettings &settings)
{
    if (settings.ChannelType != pcaComPort) {
        SetLastError(pceBadType);
        return -1;
    }
    if (!IsSameTarget(settings)) {
        SetLastError(pceBadPortName);
        return -1;
    }
    const TPCAComPortRecord &next = settings.ComPort;
    TPCAComPortRecord &now = kept_.ComPort;
    const bool open = line_->IsOpen();
    if (open && next.BaudRate != now.BaudRate) {
        const quint32 oldRate = now.BaudRate;
        now.BaudRate = next.BaudRate;
        if (!ConfigureLine()) {
            // A rate the port refuses is not taken: the line stays as it was.
            now.BaudRate = oldRate;
            ConfigureLine();
            SetLastError(pcePortInit);
            return -1;
        }
        if (next.Mode == cpmOptoAttach) {
            line_->SetDtr(false);
            line_->SetRts(false);
        }
    }
    if (open) {
        if (next.Mode != now.Mode) {
            line_->SetDtr(false);
            line_->SetRts(false);
            modemLinesDown_ = true;
            if (next.Mode == cpmDirect) {
                line_->SetRts(next.LinesOn != 0);
                line_->SetDtr(next.LinesOn != 0);
            }
        } else if (now.Mode == cpmDirect) {
            line_->SetRts(next.LinesOn != 0);
            line_->SetDtr(next.LinesOn != 0);
        } else if (now.Mode == cpmPhoneModem) {
            if (next.Phone.DialKind == 1 && next.Phone.PhoneNumber.Bytes() != now.Phone.PhoneNumber.Bytes()) {
                // Another number: the call in progress is dropped.
                line_->SetDtr(false);
                line_->SetRts(false);
                modemLinesDown_ = true;
            }
        } else if (now.Mode == cpmRadioModem) {
            if (next.CallNumber.Bytes() != now.CallNumber.Bytes()) {
                line_->SetDtr(false);
                line_->SetRts(false);
                modemLinesDown_ = true;
            }
        }
    }
    std::memcpy(kept_.Bytes + 1, settings.Bytes + 1, sizeof kept_.Bytes - 1);
    // The read interval belongs to the mode.
    if (open)
        SetPortTimeouts();
    SetLastError(pceOk);
    return 0;
}

bool TPCAComPort::LinkUp()
{
    if (!line_ || !line_->IsOpen())
        return false;
    return !IsModem() || CarrierDetected();
}

int TPCAComPort::CheckDevice()
{
    return line_ && line_->IsOpen() && line_->Signals().Dsr ? pceOk : pceDeviceUnknown;
}
