#include "archive/CycleSinks.h"

#include <algorithm>

void TCycleSinks::SetTargets(std::vector<TCycleSink *> targets)
{
    std::erase(targets, nullptr);
    targets_ = std::move(targets);
}

void TCycleSinks::RunStarted(const TMeterIdentity &meter)
{
    for (TCycleSink *target : targets_)
        target->RunStarted(meter);
}

// The last keeper takes the copy itself, the others a copy each.
void TCycleSinks::SettingsRead(TSettingsCopy settings)
{
    for (size_t i = 0; i < targets_.size(); ++i)
        targets_[i]->SettingsRead(i + 1 == targets_.size() ? std::move(settings) : settings);
}

void TCycleSinks::CycleRead(TCycleCopy cycle)
{
    for (size_t i = 0; i < targets_.size(); ++i)
        targets_[i]->CycleRead(i + 1 == targets_.size() ? std::move(cycle) : cycle);
}

void TCycleSinks::RunEnded()
{
    for (TCycleSink *target : targets_)
        target->RunEnded();
}
