#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/commands/chat_rooms.h"
#include "core/nicks_in_use.h"
#include "core/settings_file_set.h"
#include "gui/controls/multi_check_list_box.h"
#include "gui/chat_rooms_gui.h"
#include "gui/list_page_helpers.h"
#include "gui/list_pages.h"
#include "gui/profile_choices.h"
#include "gui/text_1252.h"
#include "security/profile.h"
#include "security/profiles.h"

namespace {

enum { kV = 0, kJ = 1, kAJ = 2, kA = 3 };

class TChatRoomsPageTest : public TGuiTest {
 protected:
  TChatRooms& Rooms() { return Root().ChatRooms(); }
  QTreeWidget* List() { return Control<QTreeWidget>("lvChatRooms"); }
  QLineEdit* Name() { return Control<QLineEdit>("edtChatRoomName"); }
  QLineEdit* Comment() { return Control<QLineEdit>("edtChatRoomComment"); }
  TMultiCheckListBox* Profiles() { return Control<TMultiCheckListBox>("mclProfiles"); }
  QCheckBox* Box(const char* name) { return Control<QCheckBox>(name); }
  void Click(const char* name) { Control<QPushButton>(name)->click(); }
  void SelectRow(const QString& name) {
    const auto rows = List()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << name.toStdString();
    List()->clearSelection();
    List()->setCurrentItem(rows.front());
  }
  QStringList Rows() {
    QStringList rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) rows << List()->topLevelItem(i)->text(0);
    return rows;
  }
  QStringList ProfileRows() {
    QStringList rows;
    for (int i = 0; i < Profiles()->count(); ++i) rows << Profiles()->item(i)->text();
    return rows;
  }
  int ProfileRow(const QString& name) { return static_cast<int>(ProfileRows().indexOf(name)); }
  // A profile the page is told about, as the profiles page tells it.
  void AddProfile(const std::string& name) {
    auto profile = Root().Profiles().Add(name);
    ASSERT_NE(profile, nullptr);
    for (TProfileChoices* choices : gui_->ProfileChoices()) choices->AddProfile(*profile);
  }
  TChatRoom& Make(const std::string& name) {
    auto room = Rooms().Make(name);
    TChatRoom* made = room.get();
    EXPECT_TRUE(Rooms().Add(std::move(room)));
    return *made;
  }
  std::string SavedFile() {
    EXPECT_TRUE(Rooms().Save());
    return ReadWholeFile(TChatRooms::FilePath());
  }
  int GuiLines() {
    Settle();
    return CountLines(FeedLines(), "via GUI");
  }
};

// Each flag's caption stands over its own column of boxes, as the page is
// first shown and after a resize.
TEST_F(TChatRoomsPageTest, FlagCaptionsStandOverTheirBoxes) {
  gui_->Window().show();
  gui_->Window().resize(1020, 615);
  ASSERT_TRUE(gui_->Window().OpenPage("Chatrooms"));
  TMultiCheckListBox* boxes = Profiles();
  ASSERT_GT(boxes->count(), 0);
  QWidget* page = gui_->Window().Page("Chatrooms");
  for (const QSize size : {QSize(1020, 615), QSize(1400, 800)}) {
    gui_->Window().resize(size);
    Settle();
    const QRect row = boxes->visualRect(boxes->model()->index(0, 0));
    const int column = boxes->ColumnWidth();
    const char* const captions[] = {"V", "J", "AJ", "A"};
    for (int c : {kV, kJ, kAJ, kA}) {
      SCOPED_TRACE(captions[c]);
      QLabel* caption = nullptr;
      for (QLabel* label : page->findChildren<QLabel*>())
        if (label->text() == QLatin1String(captions[c]) && label->isVisible()) caption = label;
      ASSERT_NE(caption, nullptr);
      const int box = boxes->viewport()->mapTo(page, QPoint(row.left() + c * column + column / 2, 0)).x();
      const int text = caption->mapTo(page, caption->contentsRect().center()).x();
      EXPECT_LE(std::abs(text - box), 1) << "caption at " << text << ", boxes at " << box;
      EXPECT_LT(caption->mapTo(page, QPoint(0, caption->height())).y(),
                boxes->viewport()->mapTo(page, row.topLeft()).y() + 1);
    }
  }
}

TEST_F(TChatRoomsPageTest, ProfileRowsFollowTheProfilesPage) {
  EXPECT_EQ(ProfileRows(), (QStringList{"Registered", "Regular"}));
  AddProfile("Ops");
  AddProfile("Aces");
  EXPECT_EQ(ProfileRows(), (QStringList{"Aces", "Ops", "Registered", "Regular"}));
  for (TProfileChoices* choices : gui_->ProfileChoices())
    choices->RemoveProfile(*Root().Profiles().Find("Ops"));
  EXPECT_EQ(ProfileRows(), (QStringList{"Aces", "Registered", "Regular"}));
}

TEST_F(TChatRoomsPageTest, ShowAndSaveAllKeepTheFileByteForByte) {
  AddProfile("Ops");
  TChatRoom& odd = Make("odd\x9D");
  odd.Comment = "c\x80\x81";
  odd.WelcomeMessage = "hello\r\n\x9Dthere\r\n";
  odd.Visibles = {Root().Profiles().Regular(), Root().Profiles().Find("Ops")};
  odd.AutoJoins = {Root().Profiles().Find("Ops")};
  TChatRoom& locked = Make("locked");
  locked.Locked = true;
  // A locked room's join list as an old file may hold it.
  locked.MayJoins = {Root().Profiles().Regular()};
  locked.SetIsOperator(true);
  Rooms().SetFeedRoom(&locked);
  Make("plain").Comment = "p";
  const std::string before = SavedFile();
  gui_->ShowAllPages();
  SelectRow(TextFromBytes("odd\x9D"));
  Click("btnChatRoomSave");  // unchanged: nothing happens
  SelectRow("locked");
  Click("btnChatRoomSave");
  Root().SettingsFiles().SaveAll(true);
  EXPECT_EQ(ReadWholeFile(TChatRooms::FilePath()), before);
  EXPECT_EQ(GuiLines(), 0);

  SelectRow("plain");
  Comment()->setText("q");
  Click("btnChatRoomSave");
  Root().SettingsFiles().SaveAll(true);
  const std::size_t plain = before.find("<Name>plain</Name>");
  ASSERT_NE(plain, std::string::npos);
  EXPECT_EQ(ReadWholeFile(TChatRooms::FilePath()),
            before.substr(0, plain) + WithElement(before.substr(plain), "Comment", "q"));
}

TEST_F(TChatRoomsPageTest, AddSaveRenameSaveAsAndDelete) {
  Name()->setText("Lobby");
  Comment()->setText("talk");
  Control<QPlainTextEdit>("memChatRoomWelcome")->setPlainText("hi\nthere");
  Profiles()->SetChecked(ProfileRow("Regular"), kV, true);
  Click("btnChatRoomSaveAs");
  TChatRoom* room = Rooms().Find("Lobby");
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(room->Comment, "talk");
  EXPECT_EQ(room->WelcomeMessage, "hi\r\nthere");
  ASSERT_EQ(room->Visibles.size(), 1u);
  EXPECT_EQ(room->Visibles.front(), Root().Profiles().Regular());
  Settle();
  EXPECT_TRUE(FeedHas("The chatroom Lobby has been added via GUI"));
  EXPECT_EQ(Rows(), QStringList{"Lobby"});

  const int lines = GuiLines();
  Click("btnChatRoomSave");
  EXPECT_EQ(GuiLines(), lines);

  Name()->setText("Hall");
  Click("btnChatRoomSave");
  EXPECT_EQ(Rooms().Find("Lobby"), nullptr);
  ASSERT_NE(Rooms().Find("Hall"), nullptr);
  EXPECT_EQ(Rows(), QStringList{"Hall"});
  Settle();
  EXPECT_TRUE(FeedHas("The chatroom Hall has been saved via GUI"));

  Make("Other");
  Name()->setText("Other");
  Click("btnChatRoomSave");
  EXPECT_TRUE(dialogs_.informed.contains(
      "A chatroom with this name does already exist, please change name"));
  EXPECT_NE(Rooms().Find("Hall"), nullptr);

  Name()->setText("Copy");
  Click("btnChatRoomSaveAs");
  ASSERT_NE(Rooms().Find("Copy"), nullptr);
  EXPECT_NE(Rooms().Find("Hall"), nullptr);
  EXPECT_EQ(Rooms().Find("Copy")->Comment, "talk");

  SelectRow("Copy");
  const int before = GuiLines();
  dialogs_.answers = {TDialogs::TButton::Yes};
  Control<QAction>("actChatRoomsRemove")->trigger();
  EXPECT_TRUE(dialogs_.asked.contains("Are you really sure you wish to delete this chatroom?"));
  EXPECT_EQ(Rooms().Find("Copy"), nullptr);
  EXPECT_FALSE(Rows().contains("Copy"));
  EXPECT_EQ(GuiLines(), before);  // the delete writes no line
  Root().SettingsFiles().SaveAll(true);
  const std::string file = ReadWholeFile(TChatRooms::FilePath());
  EXPECT_EQ(file.find("<Name>Copy</Name>"), std::string::npos);
  EXPECT_NE(file.find("<Name>Hall</Name>"), std::string::npos);
}

struct TRefusedCase {
  const char* name;
  const char* message;
};

TEST_F(TChatRoomsPageTest, RefusedNamesAreNeverReportedAsAdded) {
  Root().NicksInUse().Add("Reserved");
  const TRefusedCase cases[] = {
      {"", "Please supply both a name of the chatroom"},
      {"-kavro-", "The name you've suggested is already in use by the hub bot"},
      {"Reserved", "The chatroom Reserved was refused: its name is in use by the hub"},
  };
  for (const TRefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs_.informed.clear();
    Name()->setText(c.name);
    // The button is off for an empty name; the action itself still checks.
    gui_->ListPages().ChatRooms().SaveAs();
    EXPECT_TRUE(dialogs_.informed.contains(c.message)) << dialogs_.informed.join("/").toStdString();
    EXPECT_EQ(Rooms().GetCount(), 0);
    EXPECT_TRUE(Rows().isEmpty());
  }
  EXPECT_EQ(CountLines(FeedLines(), "has been added via GUI"), 0);
  EXPECT_TRUE(Root().NicksInUse().Exists("Reserved"));
}

TEST_F(TChatRoomsPageTest, LockedRoomStoresNoJoinersOrAdmins) {
  Name()->setText("Vault");
  const int row = ProfileRow("Regular");
  for (int column : {kV, kJ, kAJ, kA}) Profiles()->SetChecked(row, column, true);
  Box("chkChatRoomLocked")->setChecked(true);
  EXPECT_FALSE(Profiles()->ItemEnabled(row, kJ));
  EXPECT_FALSE(Profiles()->ItemEnabled(row, kA));
  Click("btnChatRoomSaveAs");
  TChatRoom* room = Rooms().Find("Vault");
  ASSERT_NE(room, nullptr);
  EXPECT_TRUE(room->Locked);
  EXPECT_TRUE(room->MayJoins.empty());
  EXPECT_TRUE(room->Admins.empty());
  EXPECT_EQ(room->Visibles.size(), 1u);
  EXPECT_EQ(room->AutoJoins.size(), 1u);
}

TEST_F(TChatRoomsPageTest, FeedMoveIsAnnounced) {
  Make("First");
  Rooms().SetFeedRoom(Rooms().Find("First"));
  Make("Second");
  gui_->ShowAllPages();
  SelectRow("Second");
  Box("chkChatRoomFeed")->setChecked(true);
  EXPECT_TRUE(dialogs_.informed.contains("If you choose to direct feed to Second you'll remove feed from First"));
  Click("btnChatRoomSave");
  EXPECT_EQ(Rooms().FeedRoom(), Rooms().Find("Second"));
}

// Over the wire: the room saved on the page reaches the users whose
// profile sees it, and an online user's nick is no room name.
TEST_F(TChatRoomsPageTest, SavedRoomIsAnnouncedToTheProfilesThatSeeIt) {
  const int port = StartHub();
  TGuiClient bob;
  ASSERT_TRUE(bob.Connect(port));
  ASSERT_TRUE(bob.Login("Bob"));
  bob.ClearReceived();

  Name()->setText("Bob");
  Click("btnChatRoomSaveAs");
  EXPECT_TRUE(dialogs_.informed.contains("The name you've suggested is already in use by an online user"));
  EXPECT_EQ(Rooms().Find("Bob"), nullptr);

  Name()->setText("Hidden");
  Click("btnChatRoomSaveAs");
  ASSERT_NE(Rooms().Find("Hidden"), nullptr);
  Name()->setText("Lobby");
  Profiles()->SetChecked(ProfileRow("Regular"), kV, true);
  Click("btnChatRoomSaveAs");
  ASSERT_NE(Rooms().Find("Lobby"), nullptr);
  EXPECT_TRUE(bob.WaitFor("$MyINFO $ALL Lobby "));
  EXPECT_EQ(bob.Received().find("Hidden"), std::string::npos);

  // Hidden from Regular again on "Save": the room goes.
  Profiles()->SetChecked(ProfileRow("Regular"), kV, false);
  Click("btnChatRoomSave");
  EXPECT_TRUE(bob.WaitFor("$Quit Lobby|"));
}

}  // namespace
