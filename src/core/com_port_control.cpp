#include "core/com_port_control.h"

#include <string>
#include <utility>

#include "core/com_port.h"
#include "core/hub_stats.h"
#include "settings/settings.h"

void TComPortLog::Add(const std::string& line) {
  if (lines_.size() > kMaxLines) Clear();
  lines_.push_back(line);
  if (OnAdded) OnAdded(line);
}

void TComPortLog::Clear() {
  lines_.clear();
  if (OnCleared) OnCleared();
}

TComPortControl::TComPortControl(TComPort& port, TSettings& settings, const TStats& stats,
                                 TComPortControlHooks hooks)
    : port_(port), settings_(settings), stats_(stats), hooks_(std::move(hooks)) {}

void TComPortControl::HandleLine(const std::string& line) {
  // Every check runs for every line, in this order.
  if (line.size() >= 7) {
    const std::string command = line.substr(3, 4);
    if (command == "SSSP" && hooks_.StopHub) hooks_.StopHub();
    if (command == "SSST" && hooks_.StartHub) hooks_.StartHub();
  }
  // The fastest level, 7, is not reachable from the line.
  if (line.size() == 11 && line.compare(0, 8, "KV+SSWP=") == 0 && line[8] >= '0' &&
      line[8] <= '6' && line.compare(9, 2, "\r\n") == 0) {
    const int level = line[8] - '0';
    settings_.SetWorkPace(level);
    if (hooks_.ShowWorkPace) hooks_.ShowWorkPace(level);
  }
  if (line == "KV+STUC\r\n") port_.Write("KV-STUC=" + std::to_string(stats_.CurrentUsers) + "\r\n");
  if (line == "KV+SSUL\r\n") port_.Write("KV-SSUL=" + std::to_string(settings_.MaxUsers) + "\r\n");
  log_.Add(line);
}
