#pragma once

#include "core/commands/text_commands.h"
#include "core/hub_list.h"
#include "gui/scanner_pages_fixture.h"
#include "security/accounts.h"
#include "security/profiles.h"

// A window whose lists hold a row in each state their images show: accounts
// online and not, scanner items enabled and not, text commands scheduled,
// auto-run and neither, profiles built in, used and unused, and every state
// of a hub-list host.
class TSampleRowsTest : public TScannerPagesTest {
 protected:
  TSampleRowsTest() {
    TMCItemRow off = MCNamed("off");
    off.Enable = false;
    files_["mc_scanner.xml"] = MCFile({MCNamed("on"), off});
    TWordItemRow wordOff = WordNamed("off");
    wordOff.Enable = false;
    files_["pm_scanner.xml"] = WordFile({WordNamed("on"), wordOff});
    files_["search_scanner.xml"] = WordFile({WordNamed("on"), wordOff});
  }

  void SetUp() override {
    TScannerPagesTest::SetUp();
    Root().Profiles().Add("Op");
    Root().Profiles().Add("Spare");
    Root().Accounts().Add("off", "Op");
    Root().Accounts().SetOnline(*Root().Accounts().Add("on", "Op"), true);
    TTextCommands& commands = Root().TextCommands();
    commands.SetSchedule(*commands.Add("sched"), 10);
    commands.SetAutorun(*commands.Add("auto"), 1);
    commands.Add("plain");
    THostList& hosts = Root().HubList().Hosts();
    const auto host = [&hosts](const char* name, THostState state, bool failed) {
      THost& h = *hosts.Add(name);
      h.State = state;
      h.Failed = failed;
    };
    host("waiting", hsWaiting, false);
    host("failed-connecting", hsConnecting, true);
    host("failed-resolving", hsResolving, true);
    host("done", hsFinished, false);
    host("failed-done", hsFinished, true);
    gui_->ShowAllPages();
  }
};
