#include "app/kavrod_import.h"

#include <iostream>
#include <string_view>
#include <vector>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "security/settings_converter.h"
#include "settings/settings_file_watcher.h"

namespace {

void PrintLine(std::string_view line) { std::cout << line << std::endl; }

}  // namespace

int RunImport(const TImportOptions& options) {
  const std::vector<TConvertItem> items = ScanFolder(options.Folder);
  if (items.empty()) {
    PrintLine("No profiles.xml, accounts.xml, bans.xml or isps.xml in " + options.Folder);
    return 1;
  }

  EventLoop loop;  // never run: the hub does not start
  TKavroRoot root(loop, options.Home);
  root.SetLineSink(PrintLine);
  // A file kept for repair would not be saved, and the import would be lost.
  if (!root.SettingsFiles().LoadAll(false)) {
    PrintLine("The settings files of " + root.HomeFolder() +
              " could not all be loaded; nothing imported");
    return 1;
  }

  TSettingsConverter& converter = root.Converter();
  converter.SetMessageSink([](const std::string& text) { PrintLine(text); });
  bool ok = true;
  for (const TConvertItem& item : items) {
    TConvertCounts counts;
    const bool done = converter.Import(item, options.ClearOld, options.CreateMissingProfiles,
                                       &counts);
    PrintLine(ConvertResultLine(item.Kind, done));
    PrintLine(std::to_string(counts.Imported) + " imported, " + std::to_string(counts.Skipped) +
              " skipped");
    ok = ok && done;
  }
  PrintLine(kConvertFinished);

  root.SettingsWatcher().SetEnabled(false);
  if (!root.SettingsFiles().SaveAll(false)) {
    PrintLine("Saving the settings files failed");
    return 1;
  }
  return ok ? 0 : 1;
}
