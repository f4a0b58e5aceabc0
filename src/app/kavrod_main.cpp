// kavrod: the hub without a window. Runs the start-up, serves until SIGINT
// or SIGTERM, then runs the shutdown order and exits 0.

#include <cstdint>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/kavrod_import.h"
#include "app/qt_picture_loader.h"
#include "core/exception_class.h"
#include "core/kavro_root.h"
#include "core/program_lifecycle.h"
#include "platform/client_socket.h"
#include "platform/home_folder.h"
#include "platform/event_loop.h"
#include "platform/executable_path.h"
#include "platform/heap_tuning.h"
#include "platform/open_file_limit.h"
#include "platform/stop_signals.h"
#include "scripting/lua_scripts.h"
#include "stats/user_stats_module.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

struct TOptions {
  std::string Home;
  std::string ListenAddress;
  bool Start = false;
  bool Help = false;
  std::uint64_t ScriptTimeLimitMs = TLuaScripts::kRunBoundMs;
  TImportOptions Import;
};

constexpr std::string_view kUsage =
    "usage: kavrod [--home DIR] [--start] [--listen-address IPV4]\n"
    "              [--script-time-limit MS]\n"
    "       kavrod [--home DIR] --import FOLDER [--import-clear-old]\n"
    "              [--import-skip-missing-profiles]\n"
    "  --home DIR  the hub's folder (settings/, language/, cert/, feed/ ...);\n"
    "              default: the folder that holds kavrod\n"
    "  --start     start the hub even when AutoStart is off\n"
    "  --listen-address IPV4\n"
    "              open the hub's ports on this address only (default: all)\n"
    "  --script-time-limit MS\n"
    "              stop a call into a script that runs longer (default: 3000)\n"
    "  --import FOLDER\n"
    "              read Murn's profiles, accounts, bans and ISPs from FOLDER\n"
    "              into the home's settings files, then exit (hub stopped)\n"
    "  --import-clear-old\n"
    "              empty each list before its file is imported\n"
    "  --import-skip-missing-profiles\n"
    "              skip accounts whose profile is missing instead of creating it\n";

// 1 to 9 digits, not all zero.
bool PositiveMs(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string_view::npos &&
         text.find_first_not_of('0') != std::string_view::npos;
}

// Empty when the arguments are wrong (the reason is printed).
std::optional<TOptions> ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--start") {
      options.Start = true;
    } else if (arg == "--home" && i + 1 < argc && argv[i + 1][0] != '\0') {
      options.Home = argv[++i];
    } else if (arg == "--listen-address" && i + 1 < argc) {
      options.ListenAddress = argv[++i];
    } else if (arg == "--script-time-limit" && i + 1 < argc && PositiveMs(argv[i + 1])) {
      options.ScriptTimeLimitMs = std::stoull(argv[++i]);
    } else if (arg == "--import" && i + 1 < argc && argv[i + 1][0] != '\0') {
      options.Import.Folder = argv[++i];
    } else if (arg == "--import-clear-old") {
      options.Import.ClearOld = true;
    } else if (arg == "--import-skip-missing-profiles") {
      options.Import.CreateMissingProfiles = false;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else {
      std::cerr << "kavrod: unexpected argument '" << arg << "'\n" << kUsage;
      return std::nullopt;
    }
  }
  const bool importFlags = options.Import.ClearOld || !options.Import.CreateMissingProfiles;
  if (options.Import.Folder.empty() ? importFlags : options.Start) {
    std::cerr << "kavrod: --import runs without the hub; --start and the --import-* options "
                 "go with --import only\n"
              << kUsage;
    return std::nullopt;
  }
  if (options.Home.empty()) options.Home = FolderOf(ExecutablePath());
  options.Import.Home = options.Home;
  return options;
}

void PrintLine(std::string_view line) {
  std::cout << line << std::endl;  // flushed: a pipe reads it live
}

int Run(const TOptions& options) {
  ReturnLargeBlocksToSystem();
  IgnoreBrokenPipeSignal();
  const TOpenFileLimit files = RaiseOpenFileLimit();
  EventLoop loop;
  // Before the root: its threads must inherit the blocked stop signals.
  TKavroRoot* rootForSignals = nullptr;
  TStopSignals signals(loop, [&](const std::string& name) {
    if (rootForSignals != nullptr) rootForSignals->ReportEvent(name + " received, shutting down");
    loop.Stop();
  });
  TKavroRoot root(loop, EnterHomeFolder(options.Home), MakeUserStats);
  rootForSignals = &root;
  root.SetLineSink(PrintLine);
  root.SetListenAddress(options.ListenAddress);
  loop.SetErrorHandler(
      [&root](std::exception_ptr error) { root.ReportError(UnhandledExceptionText(error)); });
  root.ReportEvent("kavrod running in " + ProgramFolder() + ", open-file limit " +
                   std::to_string(files.Soft));

  // Scripts load before the settings files, as in the window program.
  TLuaScripts scripts(root);
  scripts.SetPictureLoader(MakeQtPictureLoader());
  scripts.SetRunBoundMs(options.ScriptTimeLimitMs);
  scripts.LoadScripts(false);
  TProgramLifecycle lifecycle(root, root.Hub());
  lifecycle.Startup(options.Start);
  loop.Run();
  lifecycle.Shutdown();
  root.ReportEvent("kavrod stopped");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::optional<TOptions> options = ParseOptions(argc, argv);
    if (!options) return kExitUsage;
    if (options->Help) {
      std::cout << kUsage;
      return 0;
    }
    if (!options->Import.Folder.empty()) return RunImport(options->Import);
    return Run(*options);
  } catch (const std::exception& e) {
    std::cerr << "kavrod: " << e.what() << std::endl;
    return kExitFailure;
  }
}
