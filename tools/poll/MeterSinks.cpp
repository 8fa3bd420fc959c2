#include "MeterSinks.h"

#include "PollOptions.h"

#include <QDeadlineTimer>

bool TMeterSinks::Flush(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const bool archived = !Archive || Archive->Flush(int(deadline.remainingTime()));
    const bool published = !Mqtt || Mqtt->Flush(int(deadline.remainingTime()));
    return archived && published;
}

bool TMeterSinks::Lost() const
{
    const TMqttCounters mqtt = MqttCounters();
    return ArchiveCounters().CyclesDropped > 0 || mqtt.Dropped > 0 || mqtt.Refused;
}

TArchiveCounters TMeterSinks::ArchiveCounters() const
{
    return Archive ? Archive->Counters() : TArchiveCounters{};
}

TMqttCounters TMeterSinks::MqttCounters() const
{
    return Mqtt ? Mqtt->Counters() : TMqttCounters{};
}

std::unique_ptr<TMeterSinks> MakeMeterSinks(const TPollOptions &options, const TMeterIdentity &meter,
                                            TArchiveWriter::TReport report)
{
    auto sinks = std::make_unique<TMeterSinks>();
    if (!options.Archive.isEmpty()) {
        TArchiveOptions archive;
        archive.Target = TArchiveTarget::Parse(options.Archive);
        archive.Spectra = options.ArchiveSpectra;
        archive.KeepDays = options.ArchiveKeepDays;
        sinks->Archive = std::make_unique<TArchiveWriter>(archive, report);
    }
    if (!options.MqttUrl.isEmpty()) {
        TMqttOptions mqtt;
        mqtt.Target = TMqttTarget::Parse(options.MqttUrl);
        mqtt.CaFile = options.MqttCa;
        mqtt.QueueLimit = options.MqttQueue;
        sinks->Mqtt = std::make_unique<TMqttPublisher>(mqtt, meter, report);
    }
    sinks->Fan.SetTargets({sinks->Archive.get(), sinks->Mqtt.get()});
    return sinks;
}
