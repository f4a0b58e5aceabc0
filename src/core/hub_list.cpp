#include "core/hub_list.h"

#include <array>

#include "core/dns_lookup.h"
#include "core/hub_list_key.h"
#include "platform/local_clock.h"
#include "platform/monotonic_clock.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/general.h"

namespace {

// A '|' would end the line early: it goes out as in "$HubINFO".
std::string EscapeBar(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '|') {
      out += "&#124;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

THubList::THubList(EventLoop& loop, const TSettings& settings, const TLanguage& language,
                   TDNSLookup& dns, THubListHub hub, std::function<void(const std::string&)> error,
                   std::uint64_t passMs, std::uint64_t pollMs)
    : loop_(loop),
      settings_(settings),
      language_(language),
      dns_(dns),
      hub_(std::move(hub)),
      hosts_(language.Text(TLanguageKey::DefaultLastAttempt), std::move(error)),
      clock_([] { return MonotonicMs(); }),
      random_(std::random_device{}()),
      self_(std::make_shared<THubList*>(this)) {
  passTimer_ = loop_.AddTimer(passMs, true, [this] { RegistrationPass(); });
  passTimer_.Cancel();
  pollTimer_ = loop_.AddTimer(pollMs, true, [this] { Poll(); });
  pollTimer_.Cancel();
}

THubList::~THubList() { *self_ = nullptr; }

const std::string& THubList::Text(TLanguageKey key) const { return language_.Text(key); }

bool THubList::Start() {
  if (active_) return false;
  passTimer_.Restart();
  active_ = true;
  RegistrationPass();
  return true;
}

bool THubList::Stop() {
  if (!active_) return false;
  passTimer_.Cancel();
  active_ = false;
  return true;
}

void THubList::RegistrationPass() {
  if (!hub_.Running || !hub_.Running()) return;
  ++pass_;
  bool someEnabled = false;
  for (int i = hosts_.GetCount() - 1; i >= 0; --i) {
    THost& host = *hosts_.GetHost(i);
    host.Socket.Close();
    host.Received.clear();
    if (host.Enabled) {
      host.LastRun = NowLocal();
      host.State = hsWaiting;
      host.Failed = true;
      host.Pass = pass_;
      someEnabled = true;
    } else {
      host.State = hsFinished;
    }
  }
  if (someEnabled) pollTimer_.Restart();
}

void THubList::Poll() {
  bool allFinished = true;
  for (int i = hosts_.GetCount() - 1; i >= 0; --i) {
    THost& host = *hosts_.GetHost(i);
    switch (host.State) {
      case hsWaiting: {
        host.State = hsResolving;
        host.Status = Text(TLanguageKey::ResolvingIP);
        hosts_.View().UpdateHost(host);
        // The answer names its host by name and pass: the host may be
        // deleted, reloaded or in a later pass by then.
        std::weak_ptr<THubList*> self = self_;
        dns_.ForwardLookup(host.Host, [self, name = host.Name,
                                       pass = host.Pass](const std::string& address) {
          const std::shared_ptr<THubList*> list = self.lock();
          if (list && *list) (*list)->Resolved(name, pass, address);
        });
        break;
      }
      case hsConnecting:
      case hsKeySent:
        PollHost(host);
        break;
      case hsResolving:
      case hsFinished:
        break;
    }
    if (host.State != hsFinished) allFinished = false;
  }
  if (allFinished) pollTimer_.Cancel();
}

void THubList::Resolved(const std::string& name, std::uint64_t pass, const std::string& address) {
  THost* host = hosts_.Find(name);
  if (host == nullptr || host->Pass != pass || host->State != hsResolving) return;
  if (address.empty()) {
    Finish(*host, true, Text(TLanguageKey::ResolvingIPFailed));
    return;
  }
  const int result = host->Socket.Connect(address, host->Port);
  if (result != 0 && result != kConnectInProgress) {
    Finish(*host, true, Text(TLanguageKey::ConnectionFailed));
    return;
  }
  host->Status = Text(result == 0 ? TLanguageKey::Connected : TLanguageKey::Connecting);
  host->Started = clock_();
  host->Received.clear();
  host->State = hsConnecting;
  hosts_.View().UpdateHost(*host);
}

void THubList::PollHost(THost& host) {
  const TReadiness readiness = host.Socket.PollReadable();
  if (readiness.Error != 0) {
    Finish(host, true, WinsockErrorName(readiness.Error));
    return;
  }
  if (readiness.Readable) {
    if (host.UpdateBotIPWithDNS) {
      const std::string peer = host.Socket.PeerAddress();
      if (!peer.empty() && peer != host.BotIPPattern) {
        host.BotIPPattern = peer;
        hosts_.RebuildPatterns();
      }
    }
    std::array<char, 4096> buffer;
    const TReceived got = host.Socket.Receive(buffer.data(), buffer.size());
    if (got.Closed) {
      if (host.State == hsKeySent) {
        Finish(host, false, Text(TLanguageKey::RegisterCompleted));
      } else {
        Finish(host, true, Text(TLanguageKey::ConnectionClosedByForeignHost));
      }
      return;
    }
    if (got.Error != 0) {
      Finish(host, true, WinsockErrorName(got.Error));
      return;
    }
    // After the key the server has nothing more to say: what it sends is
    // dropped, a second lock included.
    if (host.State == hsConnecting && got.Bytes > 0) {
      host.Received.append(buffer.data(), got.Bytes);
      // The lock may come in pieces: the key is tried on all of it.
      const std::optional<std::string> key = ComputeKey(host.Received, host.Socket.LocalPort());
      if (key) {
        SendKey(host, *key);
        if (host.State == hsFinished) return;
      } else if (host.Received.size() >= kMaxLockBytes) {
        Finish(host, true, Text(TLanguageKey::ConnectionTimeOut));
        return;
      }
    }
  }
  // A server that keeps talking after the key is held to the limit too.
  if (clock_() - host.Started > kExchangeLimitMs)
    Finish(host, true, Text(TLanguageKey::ConnectionTimeOut));
}

std::string THubList::RegistrationLine(const std::string& key, const THost& host) {
  const std::vector<THubListPort> ports = hub_.Ports ? hub_.Ports() : std::vector<THubListPort>{};
  THubListPort chosen;
  if (!ports.empty())
    chosen = ports[std::uniform_int_distribution<std::size_t>(0, ports.size() - 1)(random_)];
  std::string address = settings_.HubAddress;
  const std::size_t scheme = address.find("://");
  if (scheme != std::string::npos) address.erase(0, scheme + 3);
  const bool defaultPort = hub_.DefaultPortListed && hub_.DefaultPortListed();
  if (!ports.empty() && !defaultPort && address.find(':') == std::string::npos) {
    const int port = host.SupportsNmdcs || !chosen.Tls ? chosen.Port : ports.front().Port;
    address += ":" + std::to_string(port);
  }
  const std::string_view prefix = chosen.Tls && host.SupportsNmdcs ? "nmdcs://" : "dchub://";
  const std::int64_t users = hub_.UserCount ? hub_.UserCount() : 0;
  const std::int64_t share = hub_.ShareTotal ? hub_.ShareTotal() : 0;
  return "$Key " + key + "|" + EscapeBar(settings_.HubName()) + "|" + std::string(prefix) +
         EscapeBar(address) + "|" + EscapeBar(settings_.HubDescription) + "|" +
         std::to_string(users) + "|" + std::to_string(share) + "|";
}

void THubList::SendKey(THost& host, const std::string& key) {
  const std::string line = RegistrationLine(key, host);
  int error = 0;
  const long sent = host.Socket.Send(line.data(), line.size(), error);
  if (sent != static_cast<long>(line.size())) {
    Finish(host, true, Text(TLanguageKey::SendFailed));
    return;
  }
  host.Received.clear();
  host.Status = Text(TLanguageKey::SendSuccessful);
  host.State = hsKeySent;
  hosts_.View().UpdateHost(host);
}

void THubList::Finish(THost& host, bool failed, const std::string& text) {
  host.Status = text;
  host.Failed = failed;
  host.State = hsFinished;
  hosts_.View().UpdateHost(host);
  host.Socket.Close();
  host.Received.clear();
}
