#include "archive/TenMinuteAggregator.h"

namespace Archive {

TTenMinuteAggregator::TTenMinuteAggregator() = default;

void TTenMinuteAggregator::RunStarted() {}

std::optional<TAggregateRow> TTenMinuteAggregator::Add(const TCycleRow &)
{
    return std::nullopt;
}

std::optional<TAggregateRow> TTenMinuteAggregator::RunEnded()
{
    return std::nullopt;
}

} // namespace Archive
