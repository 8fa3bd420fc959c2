#include "engine/EngineEvents.h"

void TEngineEvents::ShowStatus(const QString &text, TSeverity severity)
{
    emit StatusChanged(text.left(kMaxStatusLength), severity);
}
