#include "e2e/e2e_home.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

TE2EHome::TE2EHome() : folder_(home_.String()), port_(FreePort()), tlsPort_(FreePort()) {
  SetProgramFolder(folder_);
}

TE2EHome::~TE2EHome() = default;

int TE2EHome::FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = -1;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

void TE2EHome::WriteSettings(const std::function<void(TSettings&)>& edit) {
  SetProgramFolder(folder_);
  TSettings settings;
  settings.Load();
  settings.HubPorts = std::to_string(port_);
  settings.NmdcsPorts = std::to_string(tlsPort_);
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
  process_ = std::make_unique<TKavrodProcess>(
      arguments, File("kavrod-" + std::to_string(++runs_) + ".log"));
  return process_->WaitForOutput("Hub started");
}

int TE2EHome::StopHub() {
  if (!process_) return -1;
  return process_->Stop(SIGTERM).value_or(-1);
}
