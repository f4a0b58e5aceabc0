#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct lua_State;
class TCPUInfo;
class TKavroRoot;

// One figure of core.Statistic: a number or a text.
using TStatisticValue = std::variant<std::int64_t, std::string>;
using TStatisticFigures = std::vector<std::pair<const char*, TStatisticValue>>;

// The hub's counters, list sizes, rates, load and memory as scripts read
// them. With `port` above 0 the user counts and the share cover only the
// connections on that local port. `cpu` null: the load figures read "N/A".
TStatisticFigures GatherStatistic(TKavroRoot& root, const TCPUInfo* cpu, int port);

// Pushes the figures as one new table.
void PushStatistic(lua_State* state, const TStatisticFigures& figures);
