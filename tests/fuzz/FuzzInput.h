#pragma once

// Takes a fuzzer's bytes apart: small numbers from the front, the rest as a
// blob. Runs out gracefully (zeros), so every input is a valid script.

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

class TFuzzInput
{
public:
    TFuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    size_t Left() const { return size_ - pos_; }

    uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
    uint16_t Word() { return uint16_t(Byte() | (Byte() << 8)); }

    QByteArray Take(size_t count)
    {
        count = std::min(count, Left());
        QByteArray out(reinterpret_cast<const char *>(data_ + pos_), qsizetype(count));
        pos_ += count;
        return out;
    }
    QByteArray Rest() { return Take(Left()); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// A broken property is a finding like a crash: abort so the fuzzer keeps the
// input and the replay test fails.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

#include <cstdio>
#include <cstdlib>
