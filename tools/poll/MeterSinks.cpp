#include "MeterSinks.h"

#include "PollOptions.h"

bool TMeterSinks::Flush(int timeoutMs)
{
    return !Archive || Archive->Flush(timeoutMs);
}

TArchiveCounters TMeterSinks::ArchiveCounters() const
{
    return Archive ? Archive->Counters() : TArchiveCounters{};
}

std::unique_ptr<TMeterSinks> MakeMeterSinks(const TPollOptions &options, [[maybe_unused]] const TMeterIdentity &meter,
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
    sinks->Fan.SetTargets({sinks->Archive.get()});
    return sinks;
}
