#pragma once

#include <QString>

class TccnConnection;

// One line per saved connection for support engineers: ConID, meter type and
// factory number, protocol with its address, connection mode with its
// parameters, comment.
QString ConnectionSummary(const TccnConnection &connection);
