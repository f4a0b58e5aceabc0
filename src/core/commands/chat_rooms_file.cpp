// Loading and saving settings/chat_rooms.xml.

#include <string>
#include <utility>

#include "core/commands/chat_rooms.h"
#include "core/hub_feed.h"
#include "platform/file_io.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/protocol_text.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "chat_rooms.xml";
constexpr std::string_view kRootName = "Chatrooms";
constexpr std::string_view kRoomName = "ChatRoom";
constexpr std::string_view kVersion = "version";
// Files before this version said who may join with one number.
constexpr std::string_view kJoinStyleUntil = "1.034";

void WriteSet(TXMLNode& element, std::string_view name, const TProfileSet& set) {
  TXMLNode& node = *element.AddChild(std::string(name));
  for (const auto& profile : set) WriteXMLString(node, "Profile", profile->Name);
}

}  // namespace

std::string TChatRooms::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TChatRooms::Load() {
  TXMLDocument document;
  // A missing file ends the loading phase too, so a room made on a fresh
  // hub is saved.
  if (ReadListFile(FilePath(), kRootName, "chat rooms", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ctx_.Feed.PostError(line); }) !=
      TListFileRead::Read) {
    return false;
  }
  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  // The rows come back in one go after the file.
  TChatRoomsView* view = std::exchange(view_, nullptr);
  ClearRooms();
  const auto readSet = [this](const TXMLNode& element, std::string_view name, TProfileSet& set) {
    const TXMLNode* node = element.FindChild(name);
    if (node == nullptr) return;
    for (int i = 0; i < node->GetChildCount(); ++i) {
      std::shared_ptr<TProfile> profile = ctx_.Profiles.FindAny(node->GetChild(i)->Text);
      if (profile == nullptr) continue;
      bool held = false;
      for (const auto& other : set) held = held || other == profile;
      if (!held) set.push_back(std::move(profile));
    }
  };
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    std::string name;
    ReadXMLString(element, "Name", name);
    auto room = Make(ProtocolSafeText(name));
    bool feed = false;
    bool isOperator = false;
    ReadXMLBoolean(element, "Feed", feed);
    ReadXMLString(element, "WelcomeMessage", room->WelcomeMessage);
    ReadXMLBoolean(element, "IsOperator", isOperator);
    room->isOperator_ = isOperator;
    ReadXMLString(element, "Comment", room->Comment);
    if (version_ < kJoinStyleUntil) {
      int style = -1;
      ReadXMLInteger(element, "JoinStyle", style);
      if (style == 0 || style == 1) room->Locked = false;
      if (style == 2) room->Locked = true;
      if (style == 0) {
        room->MayJoins.push_back(ctx_.Profiles.Regular());
        room->MayJoins.push_back(ctx_.Profiles.Registered());
      }
    }
    ReadXMLBoolean(element, "Locked", room->Locked);
    readSet(element, "Visibles", room->Visibles);
    readSet(element, "MayJoins", room->MayJoins);
    readSet(element, "AutoJoins", room->AutoJoins);
    readSet(element, "Admins", room->Admins);
    TChatRoom* added = room.get();
    if (!Add(std::move(room))) continue;  // no name, a repeat, or a name the hub holds
    if (feed) SetFeedRoom(added);
  }
  view_ = view;
  if (view_ != nullptr) view_->RefreshList();
  loading_ = false;
  return true;
}

bool TChatRooms::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (int i = 0; i < GetCount(); ++i) {
    const TChatRoom& room = GetItem(i);
    TXMLNode& element = *root.AddChild(std::string(kRoomName));
    WriteXMLString(element, "Name", room.Name());
    WriteXMLBoolean(element, "Feed", feedRoom_ == &room);
    WriteXMLBoolean(element, "Locked", room.Locked);
    WriteXMLBoolean(element, "IsOperator", room.IsOperator());
    WriteXMLString(element, "WelcomeMessage", room.WelcomeMessage);
    WriteXMLString(element, "Comment", room.Comment);
    WriteSet(element, "Visibles", room.Visibles);
    WriteSet(element, "MayJoins", room.MayJoins);
    WriteSet(element, "AutoJoins", room.AutoJoins);
    WriteSet(element, "Admins", room.Admins);
  }
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
