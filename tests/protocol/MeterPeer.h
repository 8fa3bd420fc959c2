#pragma once

// A scripted meter on a loopback socket: answers request frames through a
// responder, as the protocol tests need it.

#include "channel/LoopbackPeer.h"
#include "protocol/R5Frame.h"

namespace testpeer {

// An answer frame to a request: same CMD, CMD1, device number and type.
inline QByteArray Answer(const QByteArray &request, quint16 errorField, const QByteArray &data = {})
{
    R5Frame::TFields f = R5Frame::ReadFields(Span(request));
    f.ErrorField = errorField;
    return R5Frame::BuildFrame(f, Span(data), R5Frame::kMaxAnswerData);
}

// A meter that answers request frames through a responder: it returns the
// bytes to send back (empty: stay silent) and may close the connection.
struct TReply
{
    QByteArray Bytes;
    bool Close = false;
};

class TScriptedMeter
{
public:
    using TResponder = std::function<TReply(const QByteArray &request, int index)>;

    explicit TScriptedMeter(TResponder responder)
        : responder_(std::move(responder)), peer_([this](QTcpSocket &socket, int) { Serve(socket); })
    {}

    quint16 Start() { return peer_.Start(); }
    void Stop() { peer_.Stop(); }
    int Connections() const { return peer_.Connections(); }

    std::vector<QByteArray> Requests() const
    {
        QMutexLocker lock(&mutex_);
        return requests_;
    }
    int RequestCount() const
    {
        QMutexLocker lock(&mutex_);
        return static_cast<int>(requests_.size());
    }

private:
    void Serve(QTcpSocket &socket)
    {
        for (;;) {
            const QByteArray request = ReadFrame(socket);
            if (request.isEmpty())
                return;
            int index = 0;
            {
                QMutexLocker lock(&mutex_);
                index = static_cast<int>(requests_.size());
                requests_.push_back(request);
            }
            const TReply reply = responder_(request, index);
            WriteAll(socket, reply.Bytes);
            if (reply.Close) {
                socket.disconnectFromHost();
                return;
            }
        }
    }

    TResponder responder_;
    mutable QMutex mutex_;
    std::vector<QByteArray> requests_;
    TLoopbackPeer peer_;
};

} // namespace testpeer
