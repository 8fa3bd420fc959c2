#pragma once

// The value array of the measurement record, shared by the polling thread
// (the only writer) and the window and savers (readers).
//
// Every slot is a std::atomic<float>: on the targets we build for its loads
// and stores (release/acquire included) are the same single 32-bit moves a
// plain float takes, so decoding costs nothing extra, yet a reader never
// races on a slot.
// Values are published per block (nominals, data, oscillogram); each block
// has a sequence counter that is odd while a write is in progress, so a
// reader that needs a whole block at once (CSV snapshot, oscillogram view)
// copies it and retries when a write overlapped the copy. Readers of single
// slots (the bindings) just load the slot.

#include "engine/RecordSlots.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

enum class TRecordBlock : int { Nominals = 0, Data = 1, Oscillogram = 2 };

class TRecordValues
{
public:
    static constexpr int Count = VDSlot::Count;

    TRecordValues();
    TRecordValues(const TRecordValues &) = delete;
    TRecordValues &operator=(const TRecordValues &) = delete;

    static bool ValidIndex(int index) { return index >= 0 && index < Count; }
    static TRecordBlock BlockOf(int index);
    static int BlockFirst(TRecordBlock block);
    static int BlockEnd(TRecordBlock block);
    static int BlockSize(TRecordBlock block) { return BlockEnd(block) - BlockFirst(block); }

    // One slot; the index must be valid (unchecked: callers check).
    float Get(int index) const { return slots_[index].load(std::memory_order_relaxed); }

    // A consistent copy of one block: never a mix of two writes. dest must
    // hold exactly BlockSize(block) values (contract).
    void CopyBlock(TRecordBlock block, std::span<float> dest) const;
    // All slots, each block consistent in itself.
    std::vector<float> Snapshot() const;
    // Even; advances by 2 with each completed write of the block, so a view
    // can tell whether it has already drawn the latest samples.
    uint32_t Version(TRecordBlock block) const;

    // Opens a write of one block for its lifetime. Writers are serialised,
    // so the window's Clear and the polling thread never interleave.
    class TBlockWrite
    {
    public:
        TBlockWrite(TRecordValues &values, TRecordBlock block);
        ~TBlockWrite();
        TBlockWrite(const TBlockWrite &) = delete;
        TBlockWrite &operator=(const TBlockWrite &) = delete;

        // The index must lie inside the block (unchecked: hot path). A
        // release store is a plain move on x86-64; it makes a reader that
        // sees this value also see the block marked as being written.
        void Put(int index, float value) { values_.slots_[index].store(value, std::memory_order_release); }

    private:
        TRecordValues &values_;
        std::atomic<uint32_t> &sequence_;
        std::unique_lock<std::mutex> lock_;
    };

private:
    static_assert(std::atomic<float>::is_always_lock_free);
    static_assert(std::atomic<uint32_t>::is_always_lock_free);

    std::unique_ptr<std::atomic<float>[]> slots_;
    std::array<std::atomic<uint32_t>, 3> sequence_{};
    std::mutex writeLock_;
};
