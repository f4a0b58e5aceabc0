// The kavro program's entry: the hub and its window on the main thread.

#include <QCoreApplication>
#include <cstring>
#include <stdexcept>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "core/kavro_root.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/main_window.h"
#include "platform/client_socket.h"
#include "platform/home_folder.h"
#include "platform/event_loop.h"
#include "platform/executable_path.h"
#include "platform/heap_tuning.h"
#include "platform/open_file_limit.h"
#include "platform/stop_signals.h"
#include "scripting/lua_scripts.h"
#include "utils/program_folder.h"

namespace {

constexpr std::string_view kUsage =
    "usage: kavro [--home DIR]\n"
    "  --home DIR  the hub's folder (settings/, language/, cert/, feed/ ...);\n"
    "              default: the folder that holds kavro\n";

struct TOptions {
  std::string Home;
  bool Help = false;
};

// Qt's own arguments (-platform ...) are taken out before this runs.
std::optional<TOptions> ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--home" && i + 1 < argc && argv[i + 1][0] != '\0') {
      options.Home = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else {
      std::cerr << "kavro: unexpected argument '" << arg << "'\n" << kUsage;
      return std::nullopt;
    }
  }
  if (options.Home.empty()) options.Home = FolderOf(ExecutablePath());
  return options;
}

}  // namespace

int TMainGui::Main(int argc, char** argv, TPictureLoader pictures) {
  try {
    ReturnLargeBlocksToSystem();
    IgnoreBrokenPipeSignal();
    RaiseOpenFileLimit();
    EventLoop loop;
    // Before the application object: Qt's platform threads inherit the
    // blocked stop signals, so they arrive on the signal descriptor.
    TMainGui* gui = nullptr;
    bool stopRequested = false;
    TStopSignals stopSignals(loop, [&](const std::string& name) {
      stopRequested = true;
      if (gui == nullptr) return;
      gui->Root().ReportEvent(name + " received, shutting down");
      gui->SetClosingBySignal();
      QCoreApplication::exit(0);
    });
    TKavroApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const std::optional<TOptions> options = ParseOptions(argc, argv);
    if (!options) return 2;
    if (options->Help) {
      std::cout << kUsage;
      return 0;
    }
    TMessageBoxDialogs dialogs;
    TMainGui program(loop, EnterHomeFolder(options->Home), dialogs);
    program.Scripts().SetPictureLoader(std::move(pictures));
    gui = &program;
    dialogs.SetParent(&program.Window());
    program.Startup();
    program.HideSplash();
    if (!stopRequested) {
      program.Window().show();
      app.exec();
    }
    program.Shutdown();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "kavro: " << e.what() << std::endl;
    return 1;
  }
}
