#pragma once

// The one conversion from the catalogue's description of a line (connection
// mode with its interface and modem) to the flat channel settings record.

#include "channel/ChannelSettings.h"
#include "common/Exceptions.h"

class TccnCustomConMode;

// A value does not fit its field of the channel settings record.
class EccnRangeError : public Exception
{
public:
    using Exception::Exception;
};

// The all-zero record for no mode. Texts longer than their fields are cut;
// a TCP port outside 0..65535 raises EccnRangeError.
TPCASettings ConModeToPCASettings(const TccnCustomConMode *conMode);
