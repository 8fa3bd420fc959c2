#include "MeterLink.h"

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

// The far end writes a request in one go; a frame still incomplete after
// this long is debris.
constexpr int kQuietLineMs = 300;
constexpr int kPieceGapMs = 1; // enough for each piece to leave as a segment of its own

QString Hex(quint8 value)
{
    return u"%1"_s.arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TMeterLink::TMeterLink(QIODevice *device, QString name, TMeter &meter, TFaultPlan &faults, const TTrace &trace,
                       QObject *parent)
    : QObject(parent), device_(device), name_(std::move(name)), session_(meter), faults_(faults), trace_(trace)
{
    quietLine_.setSingleShot(true);
    quietLine_.setInterval(kQuietLineMs);
    writeTimer_.setSingleShot(true);
    connect(&quietLine_, &QTimer::timeout, this, [this] {
        if (reader_.HasPartial())
            trace_.Line(u"%1: incomplete frame dropped"_s.arg(name_));
        reader_.DiscardPartial();
    });
    connect(&writeTimer_, &QTimer::timeout, this, &TMeterLink::Pump);
    connect(device_, &QIODevice::readyRead, this, &TMeterLink::OnReadyRead);
    trace_.Line(u"%1: connected"_s.arg(name_));
    OnReadyRead();
}

TMeterLink::~TMeterLink()
{
    const auto &c = reader_.Counters();
    trace_.Line(u"%1: closed after %2 requests, %3 answers, %4 checksum errors, %5 bytes skipped"_s.arg(name_)
                    .arg(requests_)
                    .arg(answers_)
                    .arg(c.ChecksumErrors)
                    .arg(c.SkippedBytes));
}

void TMeterLink::OnReadyRead()
{
    if (closing_)
        return;
    const QByteArray bytes = device_->readAll();
    if (bytes.isEmpty())
        return;
    reader_.Feed(bytes);
    const quint64 checksumErrors = reader_.Counters().ChecksumErrors;
    while (!closing_) {
        auto frame = reader_.Next();
        if (!frame)
            break;
        Serve(*frame);
    }
    if (reader_.Counters().ChecksumErrors != checksumErrors)
        trace_.Line(u"%1: request with a bad checksum ignored"_s.arg(name_));
    if (reader_.HasPartial())
        quietLine_.start();
    else
        quietLine_.stop();
}

void TMeterLink::Serve(const TFrame &request)
{
    ++requests_;
    const TFrameHeader &h = request.Header;
    const TRequestKind kind = Classify(h);
    const TFaultSet faults = faults_.Decide(kind);
    const QString what = u"%1: #%2 %3 CMD=%4 CMD1=%5 iType=%6 iCount=%7 dev=%8 type=%9 len=%10"_s.arg(name_)
                             .arg(requests_)
                             .arg(RequestKindName(kind), Hex(h.Cmd), Hex(h.Cmd1), Hex(h.IType), Hex(h.ICount))
                             .arg(h.DeviceNumber)
                             .arg(h.DeviceTypeCode)
                             .arg(request.Data.size());
    const QString injected = faults.Any() ? u" [fault: %1]"_s.arg(faults.Describe()) : QString();
    if (sentLog_ && faults.Any())
        sentLog_->FaultFired(RequestKindName(kind) + u": "_s + faults.Describe());

    if (faults.Close) {
        trace_.Line(what + u" -> connection closed"_s + injected);
        outgoing_.clear();
        closing_ = true;
        emit CloseRequested();
        return;
    }
    if (faults.Silence) {
        trace_.Line(what + u" -> no answer"_s + injected);
        return;
    }

    TReply reply = faults.ErrorCode ? TMeterSession::ErrorReply(h, static_cast<quint16>(*faults.ErrorCode))
                                    : session_.Handle(request, faults.FreezeClock);
    if (reply.Silent) {
        trace_.Line(what + u" -> no answer: "_s + reply.Note + injected);
        return;
    }
    if (faults.LengthDelta < 0)
        reply.Data.chop(std::min<qsizetype>(-faults.LengthDelta, reply.Data.size()));
    else if (faults.LengthDelta > 0)
        reply.Data.append(QByteArray(faults.LengthDelta, '\0'));
    if (faults.ErrorField)
        reply.Header.ErrorField = static_cast<quint16>(*faults.ErrorField);

    QByteArray frame = EncodeFrame(reply.Header, reply.Data);
    if (faults.BadChecksum)
        frame.back() = static_cast<char>(frame.back() ^ 0x5A);
    if (faults.GarbageBytes > 0)
        frame.prepend(faults_.Garbage(faults.GarbageBytes));

    trace_.Line(what + u" -> code %1, %2 bytes"_s.arg(reply.Header.ErrorField).arg(reply.Data.size()) +
                (reply.Note.isEmpty() ? QString() : u" ("_s + reply.Note + u")"_s) + injected);
    ++answers_;
    if (sentLog_ && kind == TRequestKind::Data)
        sentLog_->DataSent(reply.Header.ErrorField, reply.Data, faults.Describe());
    const int delayMs = faults.DelayMs + faults_.WireTimeMs(frame.size());
    if (faults.DribbleMs > 0)
        Send({frame, delayMs, 1, faults.DribbleMs});
    else
        Send({frame, delayMs, faults.SplitBytes, kPieceGapMs});
}

void TMeterLink::Send(TPendingWrite write)
{
    outgoing_.push_back(std::move(write));
    if (!writeTimer_.isActive())
        Pump();
}

void TMeterLink::Pump()
{
    while (!outgoing_.empty()) {
        TPendingWrite &head = outgoing_.front();
        if (head.DelayMs > 0) {
            writeTimer_.start(head.DelayMs);
            head.DelayMs = 0;
            return;
        }
        const qsizetype n = head.Piece > 0 ? std::min<qsizetype>(head.Piece, head.Bytes.size()) : head.Bytes.size();
        if (device_->write(head.Bytes.constData(), n) != n) {
            trace_.Line(u"%1: write failed: %2"_s.arg(name_, device_->errorString()));
            outgoing_.clear();
            return;
        }
        head.Bytes.remove(0, n);
        if (!head.Bytes.isEmpty()) {
            writeTimer_.start(head.GapMs);
            return;
        }
        outgoing_.pop_front();
    }
}

} // namespace MeterSim
