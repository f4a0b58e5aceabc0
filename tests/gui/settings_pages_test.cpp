// The settings pages driven through their named controls: a show and a
// save leave settings.xml byte for byte, one edit changes one element, and
// the page's edits reach the running hub.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/hub_core.h"
#include "core/settings_file_set.h"
#include "base/exceptions.h"
#include "gui/controls/adv_spin_edit.h"
#include "gui/controls/conn_restriction_frame.h"
#include "gui/settings_binding.h"
#include "gui/settings_pages_fixture.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of `after` that differ from `before`, which must have as many.
std::vector<std::string> ChangedLines(const std::string& before, const std::string& after) {
  const auto a = Lines(before);
  const auto b = Lines(after);
  if (a.size() != b.size()) return {"line count " + std::to_string(a.size()) + " -> " +
                                    std::to_string(b.size())};
  std::vector<std::string> changed;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) changed.push_back(b[i]);
  return changed;
}

class SettingsPagesTest : public TGuiTest {
 protected:
  std::string SettingsFile() const { return home_.String() + "/settings/settings.xml"; }

  // Values a page could damage by showing and storing them back.
  void PutDamagingValues() {
    TSettings& s = Settings();
    s.IdleTimeOut.Value = 200000;               // 3.33 minutes
    s.SearchSpamMaxCount.Interval = 1500;       // 1.5 seconds
    s.MaxUsers = 60000;                         // spin 0..50000
    s.MaxHitsOnSearch = 700;                    // spin 0..500
    s.DisableMyINFOEmail = TTriState::Grayed;
    s.MyINFOPooling.State = TTriState::Grayed;
    s.MyINFOPooling.Value = 90500;              // not whole minutes
    s.ConnRestriction.MinShareEnabled = true;
    s.ConnRestriction.MinShare = 1572864000;    // 1.46 GiB
    s.ConnRestriction.MaxHubsEnabled = true;
    s.ConnRestriction.MaxHubs = 150;
    s.HubDescription = "desc \x80\x81\x9D end";
    s.PasswordMessage = "line one\r\nline \x81two\r\n";
    s.HubOwner = "owner \x9D";
    s.RedirectOnBans.SetAddresses("a.example.org|b.example.org:4111");
    s.AutoSaveSettings.Value = 3600500;
  }

  void Click(const char* name) {
    auto* button = Mine<QPushButton>(*gui_, QString::fromLatin1(name));
    ASSERT_NE(button, nullptr);
    button->click();
  }

  TSettingsPages& Pages() { return gui_->SettingsPages(); }
};

TEST_F(SettingsPagesTest, ShowAndSaveKeepTheFileThenOneEditChangesOneElement) {
  PutDamagingValues();
  ASSERT_TRUE(Root().SettingsFiles().SaveAll(false));
  const std::string fixture = ReadFile(SettingsFile());
  const int linesBefore = static_cast<int>(FeedLines().size());
  Click("btnLoadSettings");
  Click("btnSaveSettings");
  std::string before = ReadFile(SettingsFile());
  EXPECT_EQ(before, fixture);
  const QStringList fresh = FeedLines().mid(0, FeedLines().size() - linesBefore);
  EXPECT_EQ(fresh.size(), 2) << fresh.join('\n').toStdString();
  for (const QString& line : fresh)
    EXPECT_TRUE(line.contains("Hubsettings successfully")) << line.toStdString();

  struct TEdit {
    const char* Control;
    std::function<void(QWidget*)> Edit;
    const char* Expected;
  };
  auto spin = [](int value) {
    return [value](QWidget* w) { static_cast<QSpinBox*>(w)->setValue(value); };
  };
  auto toggle = [](QWidget* w) { static_cast<QCheckBox*>(w)->click(); };
  auto text = [](const char* value) {
    return [value](QWidget* w) { static_cast<QLineEdit*>(w)->setText(QString::fromUtf8(value)); };
  };
  const TEdit edits[] = {
      {"seMaxUsers", spin(100), "<MaxUsers>100</MaxUsers>"},
      {"edtGeneralPrefixPattern", text("[X]"), "<GeneralPrefixPattern>[X]</GeneralPrefixPattern>"},
      {"frameUsersConnRestriction",
       [](QWidget* w) { static_cast<TframeConnRestriction*>(w)->seMaxHubs->SetValue(7); },
       "<MaxHubs enable=\"true\">7</MaxHubs>"},
      {"edtRedirectOnFull", text("c.example.org"),
       "<RedirectOnFull enable=\"false\">c.example.org</RedirectOnFull>"},
      {"seSRMaxCount", spin(55), "<SRMaxCount enable=\"true\">55</SRMaxCount>"},
      {"seNickMinLength", spin(4), "<NickMinLength enable=\"true\">4</NickMinLength>"},
      {"seMyINFOPooling", spin(20), "<MyINFOPooling enable=\"2\">1200000</MyINFOPooling>"},
      {"chkKickAllowed", toggle, "<KickAllowed enable=\"false\"/>"},
      {"seIdleTimeOut", spin(7), "<IdleTimeOut enable=\"true\">420000</IdleTimeOut>"},
      {"seAutoBanOnKickHours", spin(9), "<AutoBanOnKick enable=\"true\" count=\"5\" hours=\"9\"/>"},
      {"seSearchSpamMaxCountSeconds", spin(3),
       "<SearchSpamMaxCount enable=\"1\" count=\"4\" interval=\"3000\"/>"},
      {"seShareTraceAutoPruneHours", spin(13),
       "<ShareTraceAutoPruneHours enable=\"true\">13</ShareTraceAutoPruneHours>"},
      {"chkNotifyPMSpam", toggle, "<NotifyPMSpam enable=\"false\"/>"},
      {"seMaxHitsOnSearch", spin(300), "<MaxHitsOnSearch>300</MaxHitsOnSearch>"},
      {"seAutoSaveSettings", spin(30), "<AutoSaveSettings enable=\"true\">1800000</AutoSaveSettings>"},
  };
  for (const TEdit& e : edits) {
    SCOPED_TRACE(e.Control);
    QWidget* control = Mine<QWidget>(*gui_, QString::fromLatin1(e.Control));
    ASSERT_NE(control, nullptr);
    e.Edit(control);
    Click("btnSaveSettings");
    const std::string after = ReadFile(SettingsFile());
    const auto changed = ChangedLines(before, after);
    ASSERT_EQ(changed.size(), 1u) << (changed.empty() ? "" : changed[0]);
    EXPECT_NE(changed[0].find(e.Expected), std::string::npos) << changed[0];
    before = after;
  }
}

// What the controls show of values finer than their unit or beyond their
// range, and the three-state mapping.
TEST_F(SettingsPagesTest, ShowsUnitsRangesAndThreeStates) {
  PutDamagingValues();
  Settings().HandshakeTimeOut.Value = 90000;
  Settings().DisableMyINFODescription = TTriState::Checked;
  gui_->ShowAllPages();
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seHandshakeTimeOut")->value(), 90);
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seSearchSpamMaxCountSeconds")->value(), 1);
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seIdleTimeOut")->value(), 3);
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seMaxUsers")->value(), 50000);
  EXPECT_EQ(Mine<QCheckBox>(*gui_, "chkDisableMyINFOEmail")->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(Mine<QCheckBox>(*gui_, "chkDisableMyINFODescription")->checkState(), Qt::Checked);
  EXPECT_EQ(Mine<QCheckBox>(*gui_, "chkDisableMyINFOEmail")->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(Mine<QLineEdit>(*gui_, "edtHubDescription")->text(),
            QString::fromUtf8("desc \u20AC\u0081\u009D end"));
  EXPECT_EQ(Mine<QPlainTextEdit>(*gui_, "mmoPasswordMessage")->toPlainText(),
            QString::fromUtf8("line one\nline \u0081two\n"));

  // Grey stores as 2, ticked as 1.
  Mine<QCheckBox>(*gui_, "chkDisableMyINFOEmail")->setCheckState(Qt::Checked);
  EXPECT_EQ(Settings().DisableMyINFOEmail, TTriState::Checked);
  Mine<QCheckBox>(*gui_, "chkDisableMyINFOEmail")->setCheckState(Qt::PartiallyChecked);
  EXPECT_EQ(Settings().DisableMyINFOEmail, TTriState::Grayed);
  // Minutes times 60000.
  Mine<QSpinBox>(*gui_, "seTmpBanTime")->setValue(8);
  Mine<QSpinBox>(*gui_, "seTmpBanTime")->setValue(6);
  EXPECT_EQ(Settings().TmpBanTime.Value, 360000);
  Mine<QSpinBox>(*gui_, "seIdleTimeOut")->setValue(50000);
  EXPECT_EQ(Settings().IdleTimeOut.Value, std::int64_t{50000} * 60000);
  // A memo's line breaks go back as CR LF, its bytes through Windows-1252.
  Mine<QPlainTextEdit>(*gui_, "mmoPasswordMessage")->setPlainText(QString::fromUtf8("a\nb\u20AC"));
  EXPECT_EQ(Settings().PasswordMessage, "a\r\nb\x80");
}

TEST_F(SettingsPagesTest, SwitchesDisabledByTheirConditionKeepTheirValue) {
  Settings().UseISPCheck = true;
  Settings().NoISPAllowed = true;
  Settings().Password = {true, "secret"};
  gui_->ShowAllPages();
  auto* isp = Mine<QCheckBox>(*gui_, "chkUseISPCheck");
  auto* notFound = Mine<QCheckBox>(*gui_, "chkNoISPAllowed");
  EXPECT_TRUE(notFound->isEnabled());
  isp->click();
  EXPECT_FALSE(notFound->isEnabled());
  EXPECT_TRUE(notFound->isChecked());
  EXPECT_TRUE(Settings().NoISPAllowed);

  auto* require = Mine<QCheckBox>(*gui_, "chkPassword");
  EXPECT_TRUE(require->isEnabled());
  Mine<QLineEdit>(*gui_, "edtPassword")->clear();
  EXPECT_FALSE(require->isEnabled());
  EXPECT_TRUE(require->isChecked());
  EXPECT_TRUE(Settings().Password.Enabled);
  EXPECT_EQ(Settings().Password.Value, "");
}

TEST_F(SettingsPagesTest, PortsFieldKeepsOnlyPortCharacters) {
  auto* ports = Mine<QLineEdit>(*gui_, "edtHubPorts");
  ports->clear();
  QTest::keyClicks(ports, QStringLiteral("41a1; b:x412"));
  EXPECT_EQ(ports->text(), QStringLiteral("411;:412"));
  // Arrows and Delete still edit.
  QTest::keyClick(ports, Qt::Key_Home);
  QTest::keyClick(ports, Qt::Key_Delete);
  QTest::keyClick(ports, Qt::Key_Right);
  QTest::keyClicks(ports, QStringLiteral("5"));
  EXPECT_EQ(ports->text(), QStringLiteral("151;:412"));
  // A paste keeps the port characters of the text, in order.
  ports->clear();
  ports->insert(QStringLiteral("port 4111 ; host 127.0.0.2:4112!"));
  EXPECT_EQ(ports->text(), QStringLiteral("4111;127.0.0.2:4112"));
  ports->insert(QStringLiteral("abc"));
  EXPECT_EQ(ports->text(), QStringLiteral("4111;127.0.0.2:4112"));
}

TEST_F(SettingsPagesTest, NmdcsNeedsBothFilesAndKeepsTheStoredSwitch) {
  Settings().NmdcsEnabled = true;
  auto* nmdcs = Mine<QCheckBox>(*gui_, "chkNmdcs");
  const std::string cert = home_.String() + "/cert";
  std::filesystem::create_directories(cert);
  struct TCase {
    bool Cert;
    bool Key;
    bool Usable;
  };
  for (const TCase c : {TCase{false, false, false}, TCase{true, false, false},
                        TCase{false, true, false}, TCase{true, true, true}}) {
    std::filesystem::remove(cert + "/cert.pem");
    std::filesystem::remove(cert + "/cert_key.pem");
    if (c.Cert) std::ofstream(cert + "/cert.pem") << "x";
    if (c.Key) std::ofstream(cert + "/cert_key.pem") << "x";
    gui_->ShowAllPages();
    EXPECT_EQ(nmdcs->isEnabled(), c.Usable) << c.Cert << c.Key;
    EXPECT_EQ(nmdcs->isChecked(), c.Usable) << c.Cert << c.Key;
    EXPECT_TRUE(Settings().NmdcsEnabled);
  }
}

TEST_F(SettingsPagesTest, WorkPaceNamesFollowTheLanguageAndTheSerialLine) {
  auto* pace = Mine<QComboBox>(*gui_, "cboSettingsWorkPace");
  ASSERT_EQ(pace->count(), 8);
  EXPECT_EQ(pace->itemText(0), QStringLiteral("0 - Coma"));
  EXPECT_EQ(pace->itemText(7), QStringLiteral("7 - Extreme"));
  EXPECT_EQ(pace->currentIndex(), Settings().WorkPace());
  Pages().ShowWorkPace(2);
  EXPECT_EQ(pace->currentIndex(), 2);
  EXPECT_NE(Settings().WorkPace(), 2);  // shown, not stored
  pace->setCurrentIndex(6);
  EXPECT_EQ(Settings().WorkPace(), 6);
}

TEST_F(SettingsPagesTest, SaveNowShowsTheTimeAndLoadNowRefillsThePages) {
  auto* saved = Mine<QLabel>(*gui_, "lblLastSaved");
  saved->clear();
  Click("btnSaveSettings");
  EXPECT_FALSE(saved->text().isEmpty());
  EXPECT_TRUE(FeedHas("Hubsettings successfully saved"));
  Settings().MaxHitsOnSearch = 123;
  ASSERT_TRUE(Root().SettingsFiles().SaveAll(false));
  Settings().MaxHitsOnSearch = 5;
  Click("btnLoadSettings");
  EXPECT_TRUE(FeedHas("Hubsettings successfully loaded"));
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seMaxHitsOnSearch")->value(), 123);
}

// A store that fails shows the record again and reports where it failed.
TEST_F(SettingsPagesTest, AFailedStoreShowsTheRecordAgainAndReportsThePlace) {
  QWidget page;
  auto* box = NewCheck(&page, "chkProbe", QStringLiteral("probe"));
  bool value = false;
  TSettingsBinder binder("GUI.Probe.StoreSettings", [&](int group) { binder.Store(group); });
  binder.Check(
      0, box, [&] { return value; },
      [](bool) { throw EKavroException("TProbe.Set", "refused"); });
  binder.Show();
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(FeedHas("EGUIException:GUI.Probe.StoreSettings(TProbe.Set(refused))"))
      << FeedLines().join('\n').toStdString();
}

// What operator commands changed is shown on the pages at once.
TEST_F(SettingsPagesTest, CommandChangesReachThePages) {
  Settings().MaxUsers = 77;
  ASSERT_TRUE(Settings().SetWorkPace(3));
  Settings().RedirectOnFull.SetAddresses("r.example.org");
  Settings().ConnRestriction.MaxSlotsEnabled = true;
  Settings().ConnRestriction.MaxSlots = 9;
  Root().PageRefresh().GeneralSettingsChanged();
  Root().PageRefresh().RedirectsChanged();
  Root().PageRefresh().RestrictionsChanged();
  EXPECT_EQ(Mine<QSpinBox>(*gui_, "seMaxUsers")->value(), 77);
  EXPECT_EQ(Mine<QComboBox>(*gui_, "cboSettingsWorkPace")->currentIndex(), 3);
  EXPECT_EQ(Mine<QLineEdit>(*gui_, "edtRedirectOnFull")->text(), QStringLiteral("r.example.org"));
  auto* frame = Mine<TframeConnRestriction>(*gui_, "frameUsersConnRestriction");
  EXPECT_EQ(frame->seMaxSlots->Value(), 9);
  EXPECT_TRUE(frame->chkMaxSlots->isChecked());
}

TEST_F(SettingsPagesTest, EmptyHubIconFieldClearsTheAddressWithoutFetching) {
  Settings().HublistIconLoaded = true;
  Mine<QLineEdit>(*gui_, "edtHubIcon")->clear();
  Click("btnLoadHubIcon");
  EXPECT_EQ(Settings().HublistIconAddress, "");
  EXPECT_FALSE(Settings().HublistIconLoaded);
}

}  // namespace
