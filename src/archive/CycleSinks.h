#pragma once

// Hands each cycle of a run to several keepers (the archive writer and the
// trends page): the engine takes one sink. The list is set while no run is
// going; each keeper gets its own copy.

#include "engine/CycleSink.h"

#include <vector>

class TCycleSinks : public TCycleSink
{
public:
    // Null entries are left out.
    void SetTargets(std::vector<TCycleSink *> targets);
    bool Empty() const { return targets_.empty(); }

    void RunStarted(const TMeterIdentity &meter) override;
    void SettingsRead(TSettingsCopy settings) override;
    void CycleRead(TCycleCopy cycle) override;
    void RunEnded() override;

private:
    std::vector<TCycleSink *> targets_;
};
