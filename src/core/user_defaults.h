#pragma once

#include "core/hub_socket.h"

class TAccounts;
class TProfiles;

// Wires what every new connection starts with to the hub's account and
// profile lists, with the accounts' binding rule: each binding, a re-bind
// after a reload included, is counted once and released once. The lists
// must outlive `defaults`.
void BindUserDefaults(TUserDefaults& defaults, TAccounts& accounts, TProfiles& profiles);
