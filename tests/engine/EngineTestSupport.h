#pragma once

// Helpers of the engine tests: a window stand-in that records the messages
// posted to it, and a builder of little-endian answer buffers.

#include "common/WindowMessages.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace engine_test {

class MessageRecorder : public QObject
{
public:
    // Messages as (number, wParam), in arrival order.
    std::vector<std::pair<int, qintptr>> messages;

    bool event(QEvent *e) override
    {
        if (e->type() >= QEvent::User) {
            auto *message = static_cast<TWindowMessageEvent *>(e);
            messages.emplace_back(message->Number(), message->WParam());
            return true;
        }
        return QObject::event(e);
    }

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
