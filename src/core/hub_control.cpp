#include "core/hub_control.h"

#include "core/hub_core.h"
#include "core/settings_file_set.h"

void TCoreHubControl::Lock() {
  core_.StopListening();
  locked_ = true;
}

bool TCoreHubControl::Unlock() {
  const bool opened = startListening_ ? startListening_() : core_.StartListening();
  locked_ = !opened;
  return opened;
}

bool TCoreHubControl::SaveAll() { return files_.SaveAll(false); }
