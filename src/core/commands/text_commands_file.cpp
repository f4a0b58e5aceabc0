// Loading and saving settings/text_commands.xml.

#include <string>
#include <utility>

#include "core/commands/text_commands.h"
#include "platform/file_io.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "text_commands.xml";
constexpr std::string_view kRootName = "TextCommands";
constexpr std::string_view kCommandName = "TextCommand";
constexpr std::string_view kVersion = "version";

}  // namespace

std::string TTextCommands::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TTextCommands::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "TextCommands", document, loading_, saveBlocked_,
                   [this](const std::string& line) {
                     if (ctx_.ReportError) ctx_.ReportError(line);
                   }) != TListFileRead::Read) {
    return false;
  }
  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  ClearCommands();
  // The rows come back in one go after the file.
  TTextCommandsView* view = std::exchange(view_, nullptr);
  // Every child counts, whatever its element name.
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    std::string name;
    ReadXMLString(element, "Name", name);
    TTextCommand* command = Add(name);
    if (command == nullptr) continue;  // no name, or one read before
    ReadXMLBoolean(element, "OverrideMuted", command->OverrideMuted);
    ReadXMLBoolean(element, "Enabled", command->Enabled);
    ReadXMLInteger(element, "EditLevel", command->EditLevel);
    ReadXMLInteger(element, "AccessMinLevel", command->AccessMinLevel);
    ReadXMLInteger(element, "AccessMaxLevel", command->AccessMaxLevel);
    ReadXMLInteger(element, "ShowMinLevel", command->ShowMinLevel);
    ReadXMLInteger(element, "ShowMaxLevel", command->ShowMaxLevel);
    // Old files carry misspelt names. Each pair is read in its fixed order
    // and the later element wins where a file holds both.
    ReadXMLEnum(element, "MainchatCommandVisibilit", command->MainchatCommandVisibility, 0, 4);
    ReadXMLEnum(element, "MainchatCommandVisibility", command->MainchatCommandVisibility, 0, 4);
    int schedule = 0;
    ReadXMLInteger(element, "Schedule", schedule);
    SetSchedule(*command, schedule);
    int autorun = 0;
    ReadXMLEnum(element, "Autorun", autorun, 0, 2);
    SetAutorun(*command, autorun);
    ReadXMLEnum(element, "BroadCast", command->BroadCast, 0, 3);
    ReadXMLEnum(element, "MessageType", command->MessageType, 0, 4);
    ReadXMLInteger(element, "Parameters", command->Parameters);
    ReadXMLInteger(element, "Paramerters", command->Parameters);
    ReadXMLString(element, "Content", command->Content);
  }
  view_ = view;
  if (view_ != nullptr) view_->RefreshList();
  loading_ = false;
  return true;
}

bool TTextCommands::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (int i = 0; i < GetCount(); ++i) {
    const TTextCommand& command = GetItem(i);
    TXMLNode& element = *root.AddChild(std::string(kCommandName));
    WriteXMLString(element, "Name", command.Name());
    WriteXMLBoolean(element, "OverrideMuted", command.OverrideMuted);
    WriteXMLBoolean(element, "Enabled", command.Enabled);
    WriteXMLInteger(element, "EditLevel", command.EditLevel);
    WriteXMLInteger(element, "AccessMinLevel", command.AccessMinLevel);
    WriteXMLInteger(element, "AccessMaxLevel", command.AccessMaxLevel);
    WriteXMLInteger(element, "ShowMinLevel", command.ShowMinLevel);
    WriteXMLInteger(element, "ShowMaxLevel", command.ShowMaxLevel);
    WriteXMLInteger(element, "MainchatCommandVisibility", command.MainchatCommandVisibility);
    WriteXMLInteger(element, "Schedule", command.Schedule());
    WriteXMLInteger(element, "Autorun", command.Autorun());
    WriteXMLInteger(element, "BroadCast", command.BroadCast);
    WriteXMLInteger(element, "MessageType", command.MessageType);
    WriteXMLInteger(element, "Parameters", command.Parameters);
    WriteXMLString(element, "Content", command.Content);
  }
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
