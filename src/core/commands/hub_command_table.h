#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "security/profile.h"

enum class TLanguageKey;

class THubCommands;

// What a command asks of the sender's profile before its handler acts.
enum class TRightRule : std::uint8_t {
  None,               // everybody
  One,                // the one right
  All,                // every right listed
  Any,                // at least one right listed
  AddAndDelOrSetPass, // (rights 0 and 1) or right 2: a new nick, or a new password
};

// A right of the table; level rights pass this first check with any
// non-zero level, the handler compares levels afterwards.
struct TCommandRight {
  TRightRule Rule = TRightRule::None;
  std::array<TProfileRight, 12> Rights{};
  std::uint8_t Count = 0;
};

constexpr TCommandRight FreeRight() { return {}; }
constexpr TCommandRight OneRight(TProfileRight right) {
  return {TRightRule::One, {right}, 1};
}
constexpr TCommandRight AllRights(TProfileRight a, TProfileRight b) {
  return {TRightRule::All, {a, b}, 2};
}
constexpr TCommandRight AnyRight(std::initializer_list<TProfileRight> rights) {
  TCommandRight result{TRightRule::Any, {}, 0};
  for (const TProfileRight right : rights) result.Rights[result.Count++] = right;
  return result;
}

bool RightHolds(const TCommandRight& right, const TProfile& profile);

// How the table names a command's right: switched on or off, or a level.
enum class TCommandKind : std::uint8_t { Free, OnOff, Level };

using THubCommandHandler = void (THubCommands::*)();

// One handler of the operator commands with every name it answers to.
struct THubCommandRow {
  std::array<std::string_view, 4> Names;  // unused places are empty
  THubCommandHandler Handler;
  TCommandRight Right;
  TCommandKind Kind;
  int MinArgs;     // words needed after the name
  int SecretWord;  // the password's word (0: none), hidden in every echo
};

// The operator commands in the order they are registered.
std::span<const THubCommandRow> HubCommandRows();

// The help rows: usage text after the prefix, the description's key and
// who sees the row. A row with an empty usage ends a section.
struct THelpRow {
  std::string_view Usage;
  TLanguageKey Text;
  TCommandRight Right;
};
std::span<const THelpRow> HubHelpRows();
