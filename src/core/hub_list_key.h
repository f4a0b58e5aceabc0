#pragma once

#include <optional>
#include <string>
#include <string_view>

// The key a hub answers a hub-list server's "$Lock" with. `received` is
// everything the server sent so far; nothing until it holds a whole lock
// (more than 10 bytes, "$Loc" first, " Pk=" beyond offset 6). The rule is
// the client's lock-to-key rule with the constant 5 replaced by the sum of
// the two bytes of the hub's local port of this connection.
std::optional<std::string> ComputeKey(std::string_view received, int localPort);
