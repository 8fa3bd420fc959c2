#include "engine/UnitCommons.h"

#include "common/WindowMessages.h"

TCommons::TCommons(QObject *window)
    : window_(window), logger_(std::make_unique<TMonitorR5Logger>())
{
}

TCommons::~TCommons() = default;

void TCommons::PostStatus(const QString &text) const
{
    PostWindowMessage(window_.data(), WM_STATUS_TEXT, 0, text.left(kMaxStatusLength));
}
