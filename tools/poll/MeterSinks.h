#pragma once

// Whoever keeps one meter's cycles: made in one place for both modes, so
// that a new keeper is added here and nowhere else.

#include "archive/ArchiveWriter.h"
#include "archive/CycleSinks.h"

#include <functional>
#include <memory>

struct TPollOptions;

struct TMeterSinks
{
    std::unique_ptr<TArchiveWriter> Archive; // null without --archive
    TCycleSinks Fan;

    // What the engine is given: null when nobody keeps the cycles.
    TCycleSink *Sink() { return Fan.Empty() ? nullptr : &Fan; }
    // All handed over so far written (true when there is nothing to write).
    bool Flush(int timeoutMs);
    TArchiveCounters ArchiveCounters() const;
};

// report: a keeper's status text, called on the keeper's own thread.
std::unique_ptr<TMeterSinks> MakeMeterSinks(const TPollOptions &options, const TMeterIdentity &meter,
                                            TArchiveWriter::TReport report);
