#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What one run of the load generator does. Rates are messages per second
// for the whole hub.
struct TLoadOptions {
  std::string Scenario = "custom";  // a label for the report
  std::uint32_t HubIp = 0x7F000001;
  std::uint16_t HubPort = 411;
  std::uint32_t Users = 100;
  std::uint32_t Pace = 0;  // the hub's work pace, echoed in the report
  double ConnectRate = 0;  // new connections per second during the storm, 0: all at once
  double LoginTimeout = 60;
  double Duration = 0;  // traffic seconds after the storm
  double Settle = 10;   // at most this long for the last deliveries
  double Chat = 0, Private = 0, ActiveSearch = 0, PassiveSearch = 0, Connect = 0, MyInfo = 0;
  bool Answers = true;              // one "$SR" for every search
  double Churn = 0;                 // share of the users that leave and rejoin per second
  std::uint32_t PassiveEvery = 10;  // every n-th user is passive
  std::uint32_t Seed = 1;
  std::uint32_t HubPid = 0;  // 0: the hub's figures are not read
  std::string Primary;  // the kind summarised for the table
  std::string Out;      // the report file; standard output when empty
};

// Parses the command line; empty (after printing the reason) when wrong.
std::optional<TLoadOptions> ParseLoadOptions(int argc, char** argv);
