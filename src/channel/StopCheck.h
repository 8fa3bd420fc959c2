#pragma once

// How a wait of the channel layer gives way to a stop: the owner hands over a
// check (cheap, called on the channel's thread, e.g. a look at an atomic run
// state), and every wait that may last asks it at least this often. A wait
// that data ends sooner costs nothing extra.

#include <functional>

using TStopCheck = std::function<bool()>;

inline constexpr int kStopCheckIntervalMs = 50;
