#pragma once

#include <string_view>

class TCommandSession;

// The kick an operator types, as the operator command and the built-in
// one run it after their own right checks: the target is looked up,
// guarded by its profile and the sender's level, kicked once however often
// it is named, and everyone concerned is told. Replies go through the
// session, so they come the way the command came.
void KickUser(TCommandSession& session, std::string_view nick, std::string_view reason);
