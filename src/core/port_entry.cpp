#include "core/port_entry.h"

TPortEntry ParsePortEntry(std::string_view entry) {
  TPortEntry result;
  std::string_view port = entry;
  if (const std::size_t colon = entry.find(':'); colon != std::string_view::npos) {
    result.Address = std::string(entry.substr(0, colon));
    port = entry.substr(colon + 1);
  }
  while (!port.empty() && port.front() == ' ') port.remove_prefix(1);
  while (!port.empty() && port.back() == ' ') port.remove_suffix(1);
  if (port.empty() || port.size() > 5) return result;
  int value = 0;
  for (const char c : port) {
    if (c < '0' || c > '9') return result;
    value = value * 10 + (c - '0');
  }
  if (value >= 1 && value <= 65535) result.Port = value;
  return result;
}
