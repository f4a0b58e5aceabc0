// The hub inside the window's process, served by Qt's loop alone: clients
// over loopback, timers that wake the program by themselves, and a client
// served while a modal question is open.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "gui/feed_pane.h"
#include "gui/gui_fixture.h"
#include "gui/main_window.h"

namespace {

class GuiLoopbackTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    port_ = StartHub();
  }
  int port_ = 0;
};

TEST_F(GuiLoopbackTest, ChatEchoAndALineAfterSilence) {
  TGuiClient alice;
  TGuiClient bob;
  ASSERT_TRUE(alice.Connect(port_));
  ASSERT_TRUE(alice.Login("alice")) << alice.Received();
  ASSERT_TRUE(bob.Connect(port_));
  ASSERT_TRUE(bob.Login("bob")) << bob.Received();
  ASSERT_TRUE(alice.Send("<alice> hello|"));
  EXPECT_TRUE(bob.WaitFor("<alice> hello|")) << bob.Received();
  EXPECT_TRUE(alice.WaitFor("<alice> hello|"));

  // Two seconds with nothing to do: the program sleeps in Qt's loop, and
  // only the hub's timers (its send pass) can deliver the next line.
  QTest::qWait(2000);
  ASSERT_TRUE(alice.Send("<alice> after silence|"));
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(bob.WaitFor("<alice> after silence|", std::chrono::milliseconds(3000)));
  EXPECT_LT(timer.elapsed(), 1000);
}

TEST_F(GuiLoopbackTest, ClientServedWhileAModalQuestionIsOpen) {
  TGuiClient carol;
  ASSERT_TRUE(carol.Connect(port_));
  bool loggedIn = false;
  // The question spins a nested loop, as a modal dialog does.
  dialogs_.WhileOpen = [&] {
    QEventLoop nested;
    QTimer::singleShot(0, &nested, [&] {
      loggedIn = carol.Login("carol");
      nested.quit();
    });
    nested.exec();
  };
  Settings().PromptOnShutDown = true;
  gui_->Window().show();
  EXPECT_FALSE(gui_->CloseQuery());  // no answer given: No
  EXPECT_TRUE(loggedIn) << carol.Received();
}

// The bot field's text reaches every user as the bot's main-chat line; a
// typed "|" cannot end it or start a command.
TEST_F(GuiLoopbackTest, BotLineReachesUsersWithPipesEscaped) {
  TGuiClient dave;
  ASSERT_TRUE(dave.Connect(port_));
  ASSERT_TRUE(dave.Login("dave"));
  auto* field = gui_->Window().findChild<QLineEdit*>("edtBotMessage");
  ASSERT_NE(field, nullptr);
  QTest::keyClicks(field, QStringLiteral(u"hi|$Kick dave|§"));
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_TRUE(field->text().isEmpty());
  const std::string expected = "<" + Settings().BotName() + "> hi&#124;$Kick dave&#124;\xA7|";
  EXPECT_TRUE(dave.WaitFor(expected)) << dave.Received();
}

}  // namespace
