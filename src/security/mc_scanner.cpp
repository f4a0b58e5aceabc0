#include "security/mc_scanner.h"

#include <algorithm>
#include <cstdio>

#include "base/case_tables.h"
#include "platform/file_io.h"
#include "security/text_penalties.h"
#include "settings/language.h"
#include "settings/list_file.h"
#include "settings/settings.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/text_format.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "mc_scanner.xml";
constexpr std::string_view kRootName = "MainChatScanner";
constexpr std::string_view kItemName = "Item";
constexpr std::string_view kActionsName = "Actions";
constexpr std::string_view kActionName = "Action";
constexpr std::string_view kVersion = "version";
constexpr std::string_view kNickMark = "<nick>";

int CutToDay(int seconds) { return std::clamp(seconds, 0, kLastSecondOfDay); }

// A window as one or two inclusive pieces of the day.
int Pieces(bool useTime, int start, int stop, int (&from)[2], int (&to)[2]) {
  if (!useTime) {
    from[0] = 0;
    to[0] = kLastSecondOfDay;
    return 1;
  }
  if (start <= stop) {
    from[0] = start;
    to[0] = stop;
    return 1;
  }
  from[0] = start;
  to[0] = kLastSecondOfDay;
  from[1] = 0;
  to[1] = stop;
  return 2;
}

void ReplaceNick(std::string& text, std::string_view nick) {
  std::size_t at = text.find(kNickMark);
  while (at != std::string::npos) {
    text.replace(at, kNickMark.size(), nick);
    at = text.find(kNickMark, at + nick.size());
  }
}

// The scanner files write their flags as the texts "true" and "false".
void WriteFlag(TXMLNode& node, std::string_view name, bool value) {
  WriteXMLString(node, name, value ? "true" : "false");
}

}  // namespace

bool ParseTimeOfDay(std::string_view text, int& seconds) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  int parts[3];
  for (int i = 0; i < 3; ++i) {
    const char a = text[static_cast<std::size_t>(i * 3)];
    const char b = text[static_cast<std::size_t>(i * 3 + 1)];
    if (a < '0' || a > '9' || b < '0' || b > '9') return false;
    parts[i] = (a - '0') * 10 + (b - '0');
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
  return true;
}

std::string FormatTimeOfDay(int seconds) {
  seconds = CutToDay(seconds);
  char text[12];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

std::string TMCScannerItemAction::GetReplaceText() const {
  std::string joined;
  for (std::size_t i = 0; i < Replace.size(); ++i) {
    if (i > 0) joined += '|';
    joined += Replace[i];
  }
  return joined;
}

void TMCScannerItemAction::SetReplaceText(std::string_view text) {
  Replace.clear();
  if (text.empty()) return;
  std::size_t from = 0;
  for (;;) {
    const std::size_t bar = text.find('|', from);
    Replace.emplace_back(text.substr(from, bar - from));
    if (bar == std::string_view::npos) break;
    from = bar + 1;
  }
}

bool TMCScannerItemAction::IsActive(int timeOfDay) const {
  if (!UseTime) return true;
  if (Start <= Stop) return timeOfDay >= Start && timeOfDay <= Stop;
  return timeOfDay >= Start || timeOfDay <= Stop;
}

TMCScannerItemAction& TMCScannerItem::AddAction(std::unique_ptr<TMCScannerItemAction> action) {
  action->Owner = this;
  action->Start = CutToDay(action->Start);
  action->Stop = CutToDay(action->Stop);
  actions_.push_back(std::move(action));
  return *actions_.back();
}

std::unique_ptr<TMCScannerItemAction> TMCScannerItem::RemoveAction(int index) {
  auto it = actions_.begin() + index;
  std::unique_ptr<TMCScannerItemAction> action = std::move(*it);
  actions_.erase(it);
  return action;
}

const TMCScannerItemAction* TMCScannerItem::FindAction(int level, int timeOfDay) const {
  for (auto it = actions_.rbegin(); it != actions_.rend(); ++it) {
    if ((*it)->Level > level && (*it)->IsActive(timeOfDay)) return it->get();
  }
  return nullptr;
}

bool TMCScannerItem::Overlaps(bool useTime, int start, int stop) const {
  int newFrom[2], newTo[2];
  const int newCount = Pieces(useTime, start, stop, newFrom, newTo);
  for (const auto& action : actions_) {
    int from[2], to[2];
    const int count = Pieces(action->UseTime, action->Start, action->Stop, from, to);
    for (int i = 0; i < newCount; ++i) {
      for (int j = 0; j < count; ++j) {
        if (newFrom[i] <= to[j] && from[j] <= newTo[i]) return true;
      }
    }
  }
  return false;
}

TMCScanner::TMCScanner(const TSettings& settings, const TLanguage& language, TLunarize& lunarize,
                       TKennylize& kennylize, TFeedSink errorSink)
    : settings_(settings),
      language_(language),
      lunarize_(lunarize),
      kennylize_(kennylize),
      errorSink_(std::move(errorSink)),
      rng_(std::random_device{}()) {}

TMCScanner::~TMCScanner() = default;

bool TMCScanner::IsBound(char c) const { return settings_.IsWordDelimiter(c); }

std::string TMCScanner::DrawReplace(const TMCScannerItemAction& action, std::string_view nick) {
  std::string text;
  if (action.Replace.size() == 1) {
    text = action.Replace[0];
  } else if (!action.Replace.empty()) {
    std::uniform_int_distribution<std::size_t> pick(0, action.Replace.size() - 1);
    text = action.Replace[pick(rng_)];
  }
  ReplaceNick(text, nick);
  return text;
}

TMCScanOutcome TMCScanner::Scan(std::string& buffer, std::size_t offset, std::string_view nick,
                                int level, int timeOfDay) {
  TMCScanOutcome outcome;
  if (items_.empty() || offset >= buffer.size()) return outcome;
  std::size_t pos = offset;
  while (pos < buffer.size()) {
    TMCScannerItem* item = names_.FindLongestPrefix(std::string_view(buffer).substr(pos));
    if (item == nullptr || !item->Enable) {
      ++pos;
      continue;
    }
    const std::size_t end = pos + item->Name.size();
    if ((item->RestrictStart && pos != offset && !IsBound(buffer[pos - 1])) ||
        (item->RestrictStop && end != buffer.size() && !IsBound(buffer[end]))) {
      ++pos;
      continue;
    }
    const TMCScannerItemAction* action = item->FindAction(level, timeOfDay);
    if (action == nullptr) {
      ++pos;
      continue;
    }
    const std::string word = buffer.substr(pos, end - pos);
    switch (action->Action) {
      case mcaReplaceWord: {
        std::size_t from = pos;
        std::size_t to = end;
        if (item->ExpandStart) {
          while (from > offset && !IsBound(buffer[from - 1])) --from;
        }
        if (item->ExpandStop) {
          while (to < buffer.size() && !IsBound(buffer[to])) ++to;
        }
        const std::string text = DrawReplace(*action, nick);
        buffer.replace(from, to - from, text);
        pos = from + text.size();
        break;
      }
      case mcaLunarizeWord:
      case mcaKennylizeWord: {
        const std::string text = action->Action == mcaLunarizeWord
                                     ? lunarize_.LunarizeText(word)
                                     : kennylize_.KennylizeText(word);
        buffer.replace(pos, end - pos, text);
        pos += text.size();
        break;
      }
      case mcaReplaceMessage:
        buffer.resize(offset);
        buffer += DrawReplace(*action, nick);
        return outcome;
      case mcaLunarizeMessage:
        outcome.Lunarize = true;
        pos = end;
        break;
      case mcaKennylizeMessage:
        outcome.Kennylize = true;
        pos = end;
        break;
      case mcaSkipMessage:
        outcome.Pass = false;
        outcome.Action = mcaSkipMessage;
        outcome.Message = action->GetReplaceText();
        return outcome;
      case mcaDropUser:
        outcome.Pass = false;
        outcome.Action = mcaDropUser;
        outcome.Message = FormatText(language_.Text(TLanguageKey::DropMessage), word);
        return outcome;
      case mcaKickUser:
        outcome.Pass = false;
        outcome.Action = mcaKickUser;
        outcome.Message = FormatText(language_.Text(TLanguageKey::KickMessage), word);
        outcome.BanReason = FormatText(language_.Text(TLanguageKey::KickTmpBanReason), word);
        return outcome;
      default:  // an unknown number acts on nothing
        pos = end;
        break;
    }
  }
  return outcome;
}

std::vector<std::unique_ptr<TMCScannerItem>>::const_iterator TMCScanner::Position(
    std::string_view name) const {
  return std::lower_bound(items_.begin(), items_.end(), name,
                          [](const std::unique_ptr<TMCScannerItem>& item, std::string_view key) {
                            return CompareTextPChar(item->Name, key) < 0;
                          });
}

TMCScannerItem* TMCScanner::Find(std::string_view name) const {
  return names_.FindExact(name);
}

TMCScannerItem* TMCScanner::Add(std::string_view name, std::unique_ptr<TMCScannerItem> item) {
  if (name.empty() || Find(name) != nullptr) return nullptr;
  if (!item) item = std::make_unique<TMCScannerItem>();
  item->Name = std::string(name);
  TMCScannerItem* stored = item.get();
  if (!names_.Add(name, stored)) return nullptr;
  items_.insert(Position(name), std::move(item));
  return stored;
}

bool TMCScanner::Delete(std::string_view name) {
  TMCScannerItem* item = Find(name);
  if (item == nullptr) return false;
  if (view_ != nullptr) view_->RemoveItem(*item);
  names_.Remove(item->Name);
  std::erase_if(items_, [item](const auto& held) { return held.get() == item; });
  return true;
}

bool TMCScanner::Rename(TMCScannerItem& item, std::string_view newName) {
  if (newName.empty() || newName == item.Name) return false;
  TMCScannerItem* holder = Find(newName);
  if (holder != nullptr && holder != &item) return false;
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&item](const auto& held) { return held.get() == &item; });
  if (it == items_.end()) return false;
  std::unique_ptr<TMCScannerItem> owned = std::move(*it);
  items_.erase(it);
  names_.Remove(owned->Name);
  owned->Name = std::string(newName);
  names_.Add(owned->Name, owned.get());
  items_.insert(Position(owned->Name), std::move(owned));
  return true;
}

void TMCScanner::Clear() {
  names_.Clear();
  items_.clear();
}

std::string TMCScanner::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TMCScanner::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "main-chat scanner", document, loading_, saveBlocked_,
                   [this](const std::string& line) {
                     if (errorSink_) errorSink_(line);
                   }) != TListFileRead::Read) {
    return false;
  }
  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  Clear();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    if (element.Name != kItemName) continue;
    std::string name;
    ReadXMLString(element, "Name", name);
    TMCScannerItem* item = Add(name);
    if (item == nullptr) continue;  // no name, or one read before
    ReadXMLBoolean(element, "Enable", item->Enable);
    ReadXMLBoolean(element, "RestrictStart", item->RestrictStart);
    ReadXMLBoolean(element, "RestrictStop", item->RestrictStop);
    ReadXMLBoolean(element, "ExpandStart", item->ExpandStart);
    ReadXMLBoolean(element, "ExpandStop", item->ExpandStop);
    const TXMLNode* actions = element.FindChild(kActionsName);
    if (actions == nullptr) continue;
    for (int j = 0; j < actions->GetChildCount(); ++j) {
      const TXMLNode& node = *actions->GetChild(j);
      if (node.Name != kActionName) continue;
      auto action = std::make_unique<TMCScannerItemAction>();
      ReadXMLBoolean(node, "UseTime", action->UseTime);
      std::string start;
      std::string stop;
      ReadXMLString(node, "Start", start);
      ReadXMLString(node, "Stop", stop);
      if (action->UseTime) {
        if (!ParseTimeOfDay(start, action->Start) || !ParseTimeOfDay(stop, action->Stop)) {
          action->Start = 0;
          action->Stop = kLastSecondOfDay;
        }
      }
      if (item->Overlaps(action->UseTime, action->Start, action->Stop)) continue;
      ReadXMLInteger(node, "Level", action->Level);
      ReadXMLInteger(node, "Action", action->Action);
      std::string replace;
      ReadXMLString(node, "Replace", replace);
      action->SetReplaceText(replace);
      item->AddAction(std::move(action));
    }
  }
  if (view_ != nullptr) view_->RefreshList();
  loading_ = false;
  return true;
}

bool TMCScanner::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (const auto& item : items_) {
    TXMLNode& element = *root.AddChild(std::string(kItemName));
    WriteXMLString(element, "Name", item->Name);
    WriteFlag(element, "Enable", item->Enable);
    WriteFlag(element, "RestrictStart", item->RestrictStart);
    WriteFlag(element, "RestrictStop", item->RestrictStop);
    WriteFlag(element, "ExpandStart", item->ExpandStart);
    WriteFlag(element, "ExpandStop", item->ExpandStop);
    TXMLNode& actions = *element.AddChild(std::string(kActionsName));
    for (int j = 0; j < item->GetActionCount(); ++j) {
      const TMCScannerItemAction& action = item->GetAction(j);
      TXMLNode& node = *actions.AddChild(std::string(kActionName));
      WriteXMLInteger(node, "Level", action.Level);
      WriteXMLInteger(node, "Action", action.Action);
      WriteXMLString(node, "Replace", action.GetReplaceText());
      WriteFlag(node, "UseTime", action.UseTime);
      WriteXMLString(node, "Start", FormatTimeOfDay(action.Start));
      WriteXMLString(node, "Stop", FormatTimeOfDay(action.Stop));
    }
  }
  // Owner-only, as the other list files.
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
