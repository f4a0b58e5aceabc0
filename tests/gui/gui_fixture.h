#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "core/kavro_root.h"
#include "core/protocol.h"
#include "gui/dialogs.h"
#include "gui/main_window.h"
#include "gui/main_gui.h"
#include "platform/event_loop.h"
#include "settings/settings.h"
#include "support/nmdc_test_client.h"
#include "support/temp_folder.h"

// Answers questions from a script and records every text asked or shown.
// `WhileOpen` runs inside the question, as a modal dialog's nested loop.
class TScriptedDialogs final : public TDialogs {
 public:
  TButton Ask(const QString& text, TKind, const std::vector<TButton>& buttons) override {
    asked.append(text);
    if (WhileOpen) WhileOpen();
    if (answers.empty()) return buttons.back();
    const TButton answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Inform(const QString& text, TKind) override { informed.append(text); }

  std::deque<TButton> answers;
  QStringList asked;
  QStringList informed;
  std::function<void()> WhileOpen;
};

// Spins Qt's loop (which drives the hub's) until `done` or the limit.
inline bool SpinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// A test client served by the hub of the window's process: its waits spin
// Qt's loop, never the hub's own.
class TGuiClient {
 public:
  bool Connect(int port) { return client_.Connect(port); }
  bool WaitFor(std::string_view needle, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    return SpinUntil(
        [&] {
          client_.Poll();
          return client_.Received().find(needle) != std::string::npos;
        },
        limit);
  }
  bool Login(const std::string& nick) {
    if (!WaitFor(" Pk=")) return false;
    if (!client_.Send(KeyFor(client_.Received()) + "$ValidateNick " + nick + "|")) return false;
    if (!WaitFor("$Hello " + nick + "|")) return false;
    if (!client_.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL " + nick +
                      " gui client <EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$0$|"))
      return false;
    return WaitFor("$MyINFO $ALL " + nick + " ");
  }
  bool Send(std::string_view bytes) { return client_.Send(bytes); }
  const std::string& Received() const { return client_.Received(); }
  void ClearReceived() { client_.ClearReceived(); }
  bool WaitClosed() { return SpinUntil([&] { client_.Poll(); return client_.Closed(); }); }

 private:
  TNmdcTestClient client_;
};

// The program with its window in a temporary home, started as kavro
// starts it.
class TGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareHome();
    gui_ = std::make_unique<TMainGui>(loop_, home_.String(), dialogs_);
    gui_->Startup();
    gui_->HideSplash();
  }
  void TearDown() override {
    if (gui_) gui_->Shutdown();
    gui_.reset();
  }

  // Runs before the program starts: the place to write fixture files
  // into the home folder.
  virtual void PrepareHome() {}

  // Starts the hub on a free loopback port below the ephemeral range
  // (another one when the first was taken meanwhile); returns the port.
  int StartHub();

  // A control of the window by its object name; fails the test when absent.
  template <class T>
  T* Control(const QString& name) {
    T* control = gui_->Window().findChild<T*>(name);
    EXPECT_NE(control, nullptr) << "no control " << name.toStdString();
    return control;
  }
  // The window's feed lines, newest first, and whether one contains `text`.
  QStringList FeedLines() const;
  bool FeedHas(const QString& text) const;

  TKavroRoot& Root() { return gui_->Root(); }
  TSettings& Settings() { return Root().Settings(); }

  TTempFolder home_{"kavro-gui-"};
  EventLoop loop_;
  TScriptedDialogs dialogs_;
  std::unique_ptr<TMainGui> gui_;
};
