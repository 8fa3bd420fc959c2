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

void TMeterSinks::End()
{
    if (Archive)
        Archive->End();
}

bool TMeterSinks::Lost() const
{
    const TMqttCounters mqtt = MqttCounters();
    return ArchiveCounters().CyclesLost() > 0 || mqtt.Dropped > 0 || mqtt.Refused;
}

QString TMeterSinks::Summary() const
{
    // what waits is told only while it does
    const auto waiting = [](quint64 count) {
        return count > 0 ? QStringLiteral(", в очереди %1").arg(count) : QString();
    };
    QStringList parts;
    if (Archive) {
        const TArchiveCounters archive = ArchiveCounters();
        parts << QStringLiteral("архив: записано %1%2, потеряно %3")
                     .arg(archive.CyclesWritten)
                     .arg(waiting(archive.CyclesWaiting))
                     .arg(archive.CyclesLost());
    }
    if (Mqtt) {
        const TMqttCounters mqtt = MqttCounters();
        parts << QStringLiteral("MQTT: отправлено %1%2, потеряно %3")
                     .arg(mqtt.Published)
                     .arg(waiting(mqtt.Waiting))
                     .arg(mqtt.Dropped);
        if (mqtt.Refused)
            parts << QStringLiteral("брокер отказал в доступе");
    }
    return parts.join(QStringLiteral(", "));
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
