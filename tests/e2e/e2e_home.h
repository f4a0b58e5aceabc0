#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "e2e/kavrod_process.h"
#include "security/profile.h"
#include "support/temp_folder.h"

class TSettings;

// A temporary home for one kavrod run: free ports on 127.0.0.1, below the
// kernel's ephemeral range, the settings written before the start, and the
// program started on them.
class TE2EHome {
 public:
  TE2EHome();
  ~TE2EHome();

  const std::string& Folder() const { return folder_; }
  std::string File(const std::string& relative) const { return home_.File(relative); }
  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }

  // Writes settings/settings.xml: the hub listens on 127.0.0.1 at Port()
  // (TLS at TlsPort()), then `edit` changes what the test needs.
  void WriteSettings(const std::function<void(TSettings&)>& edit = {});
  // Adds a password account of a user-defined profile ("Member", or
  // "Operator" with the operator right) to settings/profiles.xml and
  // settings/accounts.xml.
  void AddAccount(const std::string& nick, const std::string& password, bool op = false);
  // Adds a password account of `profileName`; a profile not there yet is
  // made with `level` and `rights` (level rights at paSame).
  void AddAccount(const std::string& nick, const std::string& password,
                  const std::string& profileName, int level,
                  std::initializer_list<TProfileRight> rights);
  // A throw-away certificate in cert/ (openssl req -x509 ...); false when
  // the openssl tool failed.
  bool MakeCertificate();

  // Starts kavrod --home Folder() --start --listen-address 127.0.0.1 and
  // waits until it listens; false when it did not. When another program
  // took a port WriteSettings wrote, starts again on other ports: Port()
  // and TlsPort() change.
  bool StartHub(const std::vector<std::string>& extra = {});
  TKavrodProcess& Hub() { return *process_; }
  // SIGTERM; the exit code, or -1.
  int StopHub();

  // A port nothing listens on now, below the ephemeral range
  // (ChooseTestPort); -1 when none was found.
  static int FreePort();
  // "127.0.0.1:port", the settings' form of a port on loopback only.
  static std::string LoopbackPort(int port);

 private:
  static constexpr int kStartAttempts = 3;

  bool PortTaken() const;
  bool MoveToOtherPorts();

  TTempFolder home_{"kavro-e2e-"};
  std::string folder_;
  int port_;
  int tlsPort_;
  int runs_ = 0;
  std::unique_ptr<TKavrodProcess> process_;
};
