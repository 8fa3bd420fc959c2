#pragma once

// What the operator chose before pressing start: the meter password and a
// full copy of the chosen saved connection.

#include <QString>
#include <memory>

class TccnConnection;

class TCommonConnectionSettings
{
public:
    QString Password;
};

class TConnectionSettings
{
public:
    virtual ~TConnectionSettings() = default;

    TCommonConnectionSettings Common;
    // Empty until a connection is chosen; a copy, so editing the catalogue
    // during a run does not reach it.
    TccnConnection *Connection() const { return connection_.get(); }
    void SetConnection(std::shared_ptr<TccnConnection> copy) { connection_ = std::move(copy); }

private:
    std::shared_ptr<TccnConnection> connection_;
};

class TConnectionSettingsVD : public TConnectionSettings
{};
