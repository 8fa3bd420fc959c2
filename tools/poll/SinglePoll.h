#pragma once

// One meter (--tcp, --serial) until Ctrl+C or --cycles: the poller as it
// was before fleets.

#include <memory>

class TccnConnection;
struct TPollOptions;

// The exit status.
int RunSingle(const TPollOptions &options, std::shared_ptr<TccnConnection> connection);
