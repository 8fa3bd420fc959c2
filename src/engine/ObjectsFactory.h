#pragma once

// Makes the engine objects of one meter family; the holder calls it once and
// owns what it makes.

#include <memory>

class TConnectionSettings;
class TDataStorageManager;
class TRecordObserver;
class TRequestThreadManager;
struct TPollParts;

class TObjectsFactory
{
public:
    virtual ~TObjectsFactory() = default;
    virtual std::unique_ptr<TConnectionSettings> CreateSettings() const = 0;
    // observer: told of the record's changes.
    virtual std::unique_ptr<TDataStorageManager> CreateStore(TRecordObserver *observer) const = 0;
    virtual std::unique_ptr<TRequestThreadManager> CreateManager(const TPollParts &parts) const = 0;
};
