#include "e2e/e2e_home.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cstddef>
#include <cstdlib>
#include <optional>

#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "support/test_port.h"
#include "utils/program_folder.h"

TE2EHome::TE2EHome() : folder_(home_.String()), port_(FreePort()), tlsPort_(FreePort()) {
  SetProgramFolder(folder_);
}

TE2EHome::~TE2EHome() = default;

int TE2EHome::FreePort() { return ChooseTestPort(); }

void TE2EHome::WriteSettings(const std::function<void(TSettings&)>& edit) {
  SetProgramFolder(folder_);
  TSettings settings;
  settings.Load();
  settings.HubPorts = LoopbackPort(port_);
  settings.NmdcsPorts = LoopbackPort(tlsPort_);
  if (edit) edit(settings);
  settings.Save(TSaveMode::Forced);
}

void TE2EHome::AddAccount(const std::string& nick, const std::string& password, bool op) {
  SetProgramFolder(folder_);
  TSettings settings;
  settings.Load();
  TProfiles profiles(settings);
  profiles.Load();
  TAccounts accounts(profiles);
  accounts.Load();
  const std::string profileName = op ? "Operator" : "Member";
  if (!profiles.Find(profileName)) {
    const std::shared_ptr<TProfile> profile = profiles.Add(profileName);
    if (op) {
      profile->ProfileLevel = 5;
      profile->SetRight(TProfileRight::IsOperator, 1);
    }
  }
  const std::shared_ptr<TAccount> account = accounts.Add(nick, profileName);
  if (account) account->Pass = password;
  profiles.Save();
  accounts.Save();
}

void TE2EHome::AddAccount(const std::string& nick, const std::string& password,
                          const std::string& profileName, int level,
                          std::initializer_list<TProfileRight> rights) {
  SetProgramFolder(folder_);
  TSettings settings;
  settings.Load();
  TProfiles profiles(settings);
  profiles.Load();
  TAccounts accounts(profiles);
  accounts.Load();
  if (!profiles.Find(profileName)) {
    const std::shared_ptr<TProfile> profile = profiles.Add(profileName);
    profile->ProfileLevel = level;
    for (const TProfileRight right : rights)
      profile->SetRight(right, ProfileRightInfo(right).Kind == TRightKind::Level ? paSame : 1);
  }
  const std::shared_ptr<TAccount> account = accounts.Add(nick, profileName);
  ASSERT_NE(account, nullptr);
  account->Pass = password;
  ASSERT_TRUE(profiles.Save());
  ASSERT_TRUE(accounts.Save());
}

bool TE2EHome::MakeCertificate() {
  const std::string cert = File("cert");
  const std::string command =
      "mkdir -p '" + cert + "' && openssl req -x509 -newkey rsa:2048 -days 1 -subj /CN=127.0.0.1 "
      "-passout pass:vindle -keyout '" + cert + "/cert_key.pem' -out '" + cert +
      "/cert.pem' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

bool TE2EHome::StartHub(const std::vector<std::string>& extra) {
  std::vector<std::string> arguments{"--home", folder_, "--start", "--listen-address",
                                     "127.0.0.1"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  for (int attempt = 1;; ++attempt) {
    process_ = std::make_unique<TKavrodProcess>(
        arguments, File("kavrod-" + std::to_string(++runs_) + ".log"));
    // The listeners report before the start: a failed bind shows first.
    const std::optional<std::size_t> seen =
        process_->WaitForOneOf({"Hub started", "Failed to start listening on port"});
    if (attempt == kStartAttempts || !seen.has_value() || !PortTaken())
      return seen == std::size_t{0} || (seen.has_value() && process_->WaitForOutput("Hub started"));
    // Another program took a port between the choice and the bind. The
    // settings move once the run has saved its own.
    process_->Stop(SIGTERM);
    if (!MoveToOtherPorts()) return false;
  }
}

bool TE2EHome::PortTaken() const {
  const std::string log = process_->Output();
  for (const int port : {port_, tlsPort_}) {
    const std::string failed = "Failed to start listening on port 127.0.0.1:" +
                               std::to_string(port) + ",";
    if (log.find(failed) != std::string::npos) return true;
  }
  return false;
}

// Only the ports WriteSettings wrote move; a test that chose its own keeps them.
bool TE2EHome::MoveToOtherPorts() {
  SetProgramFolder(folder_);
  TSettings settings;
  settings.Load();
  const std::string oldHub = LoopbackPort(port_);
  const std::string oldTls = LoopbackPort(tlsPort_);
  if (settings.HubPorts != oldHub && settings.NmdcsPorts != oldTls) return false;
  const int port = FreePort();
  const int tlsPort = FreePort();
  if (port < 0 || tlsPort < 0) return false;
  port_ = port;
  tlsPort_ = tlsPort;
  if (settings.HubPorts == oldHub) settings.HubPorts = LoopbackPort(port_);
  if (settings.NmdcsPorts == oldTls) settings.NmdcsPorts = LoopbackPort(tlsPort_);
  return settings.Save(TSaveMode::Forced);
}

std::string TE2EHome::LoopbackPort(int port) { return "127.0.0.1:" + std::to_string(port); }

int TE2EHome::StopHub() {
  if (!process_) return -1;
  return process_->Stop(SIGTERM).value_or(-1);
}
