#pragma once

// Helpers of the engine tests: a listener that records the engine's signals
// by their message numbers, and a builder of little-endian answer buffers.

#include "engine/EngineEvents.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>

#include <bit>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace engine_test {

// Calls record(number, value slot, status text) for each signal of the
// engine, queued to the receiver's thread as a window would get them.
using TRecordMessage = std::function<void(int number, qintptr slot, const QString &text)>;

inline void ListenByNumber(TEngineEvents &events, QObject *receiver, const TRecordMessage &record)
{
    constexpr auto queued = Qt::QueuedConnection;
    auto plain = [&](auto signal, int number) {
        QObject::connect(
            &events, signal, receiver, [record, number] { record(number, 0, QString()); }, queued);
    };
    plain(&TEngineEvents::RunStateChanged, emPollStateChanged);
    plain(&TEngineEvents::NominalsChanged, emNominalsChanged);
    plain(&TEngineEvents::DataChanged, emDataChanged);
    plain(&TEngineEvents::OscillogramChanged, emOscillogramChanged);
    plain(&TEngineEvents::FirstOscillogram, emFirstOscillogram);
    plain(&TEngineEvents::DeviceTimeChanged, emDeviceTimeChanged);
    QObject::connect(
        &events, &TEngineEvents::ValueChanged, receiver,
        [record](int slot) { record(emValueChanged, slot, QString()); }, queued);
    QObject::connect(
        &events, &TEngineEvents::StatusChanged, receiver,
        [record](const QString &text) { record(emStatusText, 0, text); }, queued);
}

// A record's listener: give it &events.
class MessageRecorder : public QObject
{
public:
    MessageRecorder()
    {
        ListenByNumber(events, this,
                       [this](int number, qintptr slot, const QString &) { messages.emplace_back(number, slot); });
    }

    TEngineEvents events;
    // Messages as (number, value slot), in arrival order.
    std::vector<std::pair<int, qintptr>> messages;

    // Delivers what has been posted so far and hands it over.
    std::vector<std::pair<int, qintptr>> Take()
    {
        QCoreApplication::sendPostedEvents(this);
        return std::exchange(messages, {});
    }

    std::vector<int> TakeNumbers()
    {
        std::vector<int> numbers;
        for (const auto &m : Take())
            numbers.push_back(m.first);
        return numbers;
    }
};

class AnswerBuilder
{
public:
    explicit AnswerBuilder(qsizetype size) : bytes_(size, '\0') {}

    AnswerBuilder &U8(int offset, uint8_t v)
    {
        bytes_[offset] = char(v);
        return *this;
    }
    AnswerBuilder &U16(int offset, uint16_t v)
    {
        bytes_[offset] = char(v & 0xFF);
        bytes_[offset + 1] = char(v >> 8);
        return *this;
    }
    AnswerBuilder &I16(int offset, int16_t v) { return U16(offset, static_cast<uint16_t>(v)); }
    AnswerBuilder &U32(int offset, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes_[offset + i] = char((v >> (8 * i)) & 0xFF);
        return *this;
    }
    AnswerBuilder &F32(int offset, float v) { return U32(offset, std::bit_cast<uint32_t>(v)); }

    const QByteArray &Bytes() const { return bytes_; }
    QByteArray &Bytes() { return bytes_; }

private:
    QByteArray bytes_;
};

} // namespace engine_test
