#pragma once

// What the program accepts from the catalogue: for each device type it
// polls, the protocols and connection modes it allows. The connection list
// window and the edit dialog check connections against these options.

#include "catalogue/CatalogueTypes.h"
#include "common/Exceptions.h"

#include <QString>
#include <array>
#include <memory>
#include <vector>

class TccnConnection;

class EccnOptions : public Exception
{
public:
    using Exception::Exception;
};

class TccnDeviceTypeOptions
{
public:
    TccnDeviceTypeOptions(TDeviceType deviceType, TDeviceProtocolTypes allowedProtocols, TConModeTypes allowedConModes)
        : DeviceType(deviceType), AllowedProtocols(allowedProtocols), AllowedConModes(allowedConModes)
    {}

    TDeviceType DeviceType;
    TDeviceProtocolTypes AllowedProtocols;
    TConModeTypes AllowedConModes;
};

class TccnDeviceTypeOptionsList
{
public:
    int Count() const { return int(items_.size()); }
    // None for a position outside the list.
    const TccnDeviceTypeOptions *Items(int index) const;

    // Refuses an empty protocol set first, then an empty mode set
    // (EccnOptions with the operator's text).
    TccnDeviceTypeOptions &AddDeviceTypeOptions(TDeviceType deviceType, TDeviceProtocolTypes allowedProtocols,
                                                TConModeTypes allowedConModes);
    // The first record of the type, or none.
    const TccnDeviceTypeOptions *FindDeviceTypeOptions(int deviceType) const;
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TccnDeviceTypeOptions>> items_;
};

class TccnConnectionListUIOptions
{
public:
    TccnDeviceTypeOptionsList &DeviceTypeOptionsList() { return list_; }
    const TccnDeviceTypeOptionsList &DeviceTypeOptionsList() const { return list_; }

    TccnDeviceTypeOptions &AddDeviceTypeOptions(TDeviceType deviceType, TDeviceProtocolTypes allowedProtocols,
                                                TConModeTypes allowedConModes)
    {
        return list_.AddDeviceTypeOptions(deviceType, allowedProtocols, allowedConModes);
    }
    const TccnDeviceTypeOptions *FindDeviceTypeOptions(int deviceType) const
    {
        return list_.FindDeviceTypeOptions(deviceType);
    }

    // Whether the program accepts the connection; the reason goes to
    // `message` when it does not. A missing device, protocol or mode is not
    // refused here.
    bool CheckConnection(const TccnConnection *connection, QString &message) const;

    // Marks in the list window, working on the marked rows (off here).
    bool CheckMode = false;

private:
    TccnDeviceTypeOptionsList list_;
};

// The meters this program polls, in the order the options list them. The
// engine's supported types and its choice of driver follow this table.
inline constexpr std::array<TDeviceType, 6> kPolledDeviceTypes{dtM7,       dtR5AS,     dtM7SQ,
                                                               dtM7L12020, dtM7L22020, dtR5AS2020};

bool IsPolledDeviceType(int deviceType);

// The options of this program: each polled meter in the Tarvel protocol over
// any of the five connection modes; no marks.
void ConfigureMonitorOptions(TccnConnectionListUIOptions &options);
