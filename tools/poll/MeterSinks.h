#pragma once

// Whoever keeps one meter's cycles: made in one place for both modes, so
// that a new keeper is added here and nowhere else.

#include "archive/ArchiveWriter.h"
#include "archive/CycleSinks.h"
#include "mqtt/MqttPublisher.h"

#include <functional>
#include <memory>

struct TPollOptions;

struct TMeterSinks
{
    std::unique_ptr<TArchiveWriter> Archive; // null without --archive
    std::unique_ptr<TMqttPublisher> Mqtt;    // null without --mqtt
    TCycleSinks Fan;

    // What the engine is given: null when nobody keeps the cycles.
    TCycleSink *Sink() { return Fan.Empty() ? nullptr : &Fan; }
    // All handed over so far written and published (true when there is
    // nothing to keep); both are waited for within the one time-out.
    bool Flush(int timeoutMs);
    // After the last Flush: the archive's thread ends, and what it could not
    // write counts as lost.
    void End();
    // Cycles lost to the archive or messages to the broker, or a broker that
    // refused us: the run did not keep all it read.
    bool Lost() const;
    // "архив: записано W, в очереди N, потеряно L, MQTT: ..." for the keepers
    // there are; every cycle read is in one of the archive's counts.
    QString Summary() const;
    TArchiveCounters ArchiveCounters() const;
    TMqttCounters MqttCounters() const;
};

// report: a keeper's status text, called on the keeper's own thread.
std::unique_ptr<TMeterSinks> MakeMeterSinks(const TPollOptions &options, const TMeterIdentity &meter,
                                            TArchiveWriter::TReport report);
