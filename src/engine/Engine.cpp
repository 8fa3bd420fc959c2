#include "engine/Engine.h"

#include "common/WindowMessages.h"
#include "engine/PollSettings.h"
#include "engine/PollController.h"
#include "engine/MeasurementRecord.h"

TCommons::TCommons(const TObjectsFactory *factory, QObject *window) : TCommons(factory, window, QString()) {}

TCommons::TCommons(const TObjectsFactory *factory, QObject *window, const QString &logFileName) : window_(window)
{
    CreateObjects(factory);
    logger_ = logFileName.isEmpty() ? std::make_unique<TMonitorR5Logger>()
                                    : std::make_unique<TMonitorR5Logger>(logFileName);
}

void TCommons::CreateObjects(const TObjectsFactory *factory)
{
    if (!factory)
        return;
    settings_ = factory->CreateSettings();
    store_ = factory->CreateStore(window_.data());
    manager_ = factory->CreateManager(*this);
}

TCommons::~TCommons()
{
    // The manager goes first: it waits for a polling thread that may still be
    // writing to the log and the record.
    manager_.reset();
    logger_.reset();
    settings_.reset();
    store_.reset();
}

TConnectionSettings *TCommons::Settings() const
{
    std::lock_guard lock(lock_);
    return settings_.get();
}

TDataStorageManager *TCommons::Store() const
{
    std::lock_guard lock(lock_);
    return store_.get();
}

TRequestThreadManager *TCommons::Manager() const
{
    std::lock_guard lock(lock_);
    return manager_.get();
}

void TCommons::PostStatus(const QString &text) const
{
    PostWindowMessage(window_.data(), WM_STATUS_TEXT, 0, text.left(kMaxStatusLength));
}
