#include "engine/RecordValues.h"

#include "common/Contracts.h"

#include <thread>

TRecordValues::TRecordValues() : slots_(new std::atomic<float>[Count])
{
    for (int i = 0; i < Count; ++i)
        slots_[i].store(0.0f, std::memory_order_relaxed);
}

TRecordBlock TRecordValues::BlockOf(int index)
{
    if (index < VDSlot::DataFirst)
        return TRecordBlock::Nominals;
    if (index < VDSlot::OscFirst)
        return TRecordBlock::Data;
    return TRecordBlock::Oscillogram;
}

int TRecordValues::BlockFirst(TRecordBlock block)
{
    switch (block) {
    case TRecordBlock::Nominals: return 0;
    case TRecordBlock::Data: return VDSlot::DataFirst;
    case TRecordBlock::Oscillogram: return VDSlot::OscFirst;
    }
    return 0;
}

int TRecordValues::BlockEnd(TRecordBlock block)
{
    switch (block) {
    case TRecordBlock::Nominals: return VDSlot::DataFirst;
    case TRecordBlock::Data: return VDSlot::OscFirst;
    case TRecordBlock::Oscillogram: return VDSlot::OscEnd;
    }
    return 0;
}

void TRecordValues::CopyBlock(TRecordBlock block, std::span<float> dest) const
{
    const int first = BlockFirst(block);
    const int size = BlockSize(block);
    CheckPreConditions(dest.size() == static_cast<size_t>(size), "TRecordValues.CopyBlock");
    const std::atomic<uint32_t> &sequence = sequence_[static_cast<int>(block)];
    for (;;) {
        const uint32_t before = sequence.load(std::memory_order_acquire);
        if (before & 1u) {
            // A block write takes microseconds and never waits on I/O.
            std::this_thread::yield();
            continue;
        }
        // Acquire loads: a value from a write that began after `before` was
        // read makes that write's odd counter visible below, so the copy is
        // retried.
        for (int i = 0; i < size; ++i)
            dest[i] = slots_[first + i].load(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) == before)
            return;
    }
}

std::vector<float> TRecordValues::Snapshot() const
{
    std::vector<float> copy(Count);
    for (TRecordBlock block : {TRecordBlock::Nominals, TRecordBlock::Data, TRecordBlock::Oscillogram})
        CopyBlock(block, std::span<float>(copy).subspan(BlockFirst(block), BlockSize(block)));
    return copy;
}

uint32_t TRecordValues::Version(TRecordBlock block) const
{
    // While a write is in progress report the version it started from.
    return sequence_[static_cast<int>(block)].load(std::memory_order_acquire) & ~1u;
}

TRecordValues::TBlockWrite::TBlockWrite(TRecordValues &values, TRecordBlock block)
    : values_(values), sequence_(values.sequence_[static_cast<int>(block)]), lock_(values.writeLock_)
{
    // Odd while the block is written; the release stores of Put order it
    // before every value of this write.
    const uint32_t current = sequence_.load(std::memory_order_relaxed);
    sequence_.store(current + 1, std::memory_order_relaxed);
}

TRecordValues::TBlockWrite::~TBlockWrite()
{
    const uint32_t current = sequence_.load(std::memory_order_relaxed);
    sequence_.store(current + 1, std::memory_order_release);
}
