#pragma once

#include <QString>

namespace MeterSim {

// Request log on stderr, one time-stamped line per event, when enabled.
class TTrace
{
public:
    explicit TTrace(bool enabled = false) : enabled_(enabled) {}
    bool Enabled() const { return enabled_; }
    void Line(const QString &text) const;

private:
    bool enabled_;
};

} // namespace MeterSim
