#include "engine/EngineEvents.h"

void TEngineEvents::ShowStatus(const QString &text, TSeverity severity)
{
    const QString shown = text.left(kMaxStatusLength);
    {
        std::lock_guard lock(statusMutex_);
        if (statusShown_ && severity == svInformation && lastSeverity_ == svInformation && shown == lastStatus_)
            return;
        lastStatus_ = shown;
        lastSeverity_ = severity;
        statusShown_ = true;
    }
    emit StatusChanged(shown, severity);
}

void TEngineEvents::ForgetShownStatus()
{
    std::lock_guard lock(statusMutex_);
    statusShown_ = false;
}
