// The hub core's listeners: one per port, opened and closed together.

#include <string>
#include <utility>

#include "core/core_hooks.h"
#include "core/hub_core.h"
#include "core/hub_core_connection.h"
#include "settings/language.h"
#include "utils/general.h"
#include "utils/program_folder.h"

namespace {

constexpr std::uint64_t kReopenDelayMs = 150;

}  // namespace

std::string THubCore::ListenerName(const TListener& listener) {
  const std::string port = std::to_string(listener.Port());
  return listener.BindAddress().empty() ? port : listener.BindAddress() + ":" + port;
}

bool THubCore::OpenListener(TListenerSlot& slot) {
  TListener& listener = *slot.Listener;
  if (listener.Listening()) return true;
  if (listener.Listen()) {
    ++openListeners_;
    hooks_.Feed().PostEvent("Listening on port " + ListenerName(listener) + " started successfully");
    return true;
  }
  hooks_.Feed().PostError("Failed to start listening on port " + ListenerName(listener) +
                          ", port may be inuse");
  return false;
}

bool THubCore::StartListening() {
  if (listening_) return true;
  if (listeners_.empty()) {
    hooks_.Feed().PostError(
        "You can't start the hub without specifying at least on port (settings)");
    return false;
  }
  bool any = false;
  for (auto& [key, slot] : listeners_) any = OpenListener(*slot) || any;
  listening_ = any;
  return listening_;
}

bool THubCore::StopListening() { return CloseListeners(true); }

bool THubCore::CloseListeners(bool report) {
  if (!listening_) return false;
  for (auto& [key, slot] : listeners_) {
    slot->Retry.Cancel();
    if (slot->Listener->Stop()) {
      --openListeners_;
      if (report) hooks_.Feed().PostEvent("Listening on port " + key + " stopped");
    }
  }
  listening_ = false;
  return true;
}

bool THubCore::AddListener(int port, const std::string& address, bool tls) {
  const std::string key = std::to_string(port);
  if (listeners_.count(key) != 0) return false;
  auto slot = std::make_unique<TListenerSlot>();
  slot->Listener = std::make_unique<TListener>(loop_, port, address, tls);
  TListener& listener = *slot->Listener;
  listener.SetOnSocket([this](TAcceptedSocket accepted) { Accept(std::move(accepted)); });
  listener.SetOnClosed([this, key](int error, TListener&) { OnListenError(error, key); });
  listener.SetOnError([this](const std::string& line) { hooks_.Feed().PostError(line); });
  listener.SetTlsFiles(ProgramPath(kCertFolder, "cert.pem"), ProgramPath(kCertFolder, "cert_key.pem"));
  TListenerSlot& added = *slot;
  listeners_.emplace(key, std::move(slot));
  if (listening_) OpenListener(added);
  return true;
}

bool THubCore::RemoveListener(int port) {
  const auto it = listeners_.find(std::to_string(port));
  if (it == listeners_.end()) return false;
  if (it->second->Listener->Stop()) {
    --openListeners_;
    hooks_.Feed().PostEvent("Listening on port " + it->first + " stopped");
  }
  listeners_.erase(it);
  return true;
}

bool THubCore::HasListener(std::string_view portText) const {
  return listeners_.count(std::string(portText)) != 0;
}

TListener* THubCore::ListenerAt(int index) const {
  if (index < 0 || index >= ListenerCount()) return nullptr;
  auto it = listeners_.begin();
  std::advance(it, index);
  return it->second->Listener.get();
}

std::string THubCore::GetPortsText() const {
  std::string text;
  std::size_t i = 0;
  for (const auto& [key, slot] : listeners_) {
    if (i > 0) text += i + 1 == listeners_.size() ? " " + language_.AndDelimiter() + " " : ", ";
    text += key;
    ++i;
  }
  return text;
}

void THubCore::OnListenError(int error, const std::string& portText) {
  const auto it = listeners_.find(portText);
  if (it == listeners_.end()) return;
  --openListeners_;  // the listener has closed itself
  hooks_.Feed().PostError("THubCore.OnListenError on port " + portText +
                          " with the error: " + WinsockErrorName(error));
  TListenerSlot& slot = *it->second;
  // One more try after a short pause, on a timer: the loop must not sleep.
  slot.Retry = loop_.AddTimer(kReopenDelayMs, false, [this, portText] {
    const auto again = listeners_.find(portText);
    if (again == listeners_.end() || !listening_) return;
    OpenListener(*again->second);
  });
}
