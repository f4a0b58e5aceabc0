#include "gui/redirects_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

#include "settings/settings.h"

TRedirectsGui::TRedirectsGui(TSettings& settings) : binder_("GUI.Redirects.StoreSettings", [this](int) { StoreSettings(); }) {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("RedirectsPage"));
  auto* grid = new QGridLayout(page_);
  struct TRow {
    const char* Key;
    const char* Caption;
    TRedirectItem& Item;
  };
  TSettings& s = settings;
  const TRow rows[] = {
      {"OnFull", "On hub full", s.RedirectOnFull},
      {"OnISP", "On incorrect ISP/IP", s.RedirectOnISP},
      {"OnLowShare", "On too small share", s.RedirectOnLowShare},
      {"OnHighShare", "On too large share", s.RedirectOnHighShare},
      {"OnRegOnly", "On reg. only", s.RedirectOnRegOnly},
      {"OnPassiveMode", "On passive mode", s.RedirectOnPassiveMode},
      {"OnNoTag", "On no description tag", s.RedirectOnNoTag},
      {"OnHighHubs", "On too many hubs", s.RedirectOnHighHubs},
      {"OnLowSlots", "On too few slots", s.RedirectOnLowSlots},
      {"OnHighSlots", "On too many slots", s.RedirectOnHighSlots},
      {"OnLowSlotRatio", "On too low slotratio", s.RedirectOnLowSlotRatio},
      {"OnBans", "On banned", s.RedirectOnBans},
  };
  const QString hint = QStringLiteral(
      "Hub address the users will be redirected to, can be one or multiple:\n"
      "hub.example.org|other.example.org:4111 or hub.example.org");
  int row = 0;
  for (const TRow& r : rows) {
    const QByteArray box = QByteArray("chkRedirect") + r.Key;
    const QByteArray edit = QByteArray("edtRedirect") + r.Key;
    auto* check = NewCheck(page_, box.constData(), QString::fromLatin1(r.Caption));
    auto* address = NewEdit(page_, edit.constData(), hint);
    grid->addWidget(check, row, 0);
    grid->addWidget(address, row, 1);
    ++row;
    TRedirectItem& item = r.Item;
    binder_.Check(0, check, item.Enabled);
    binder_.Text(
        0, address, [&item] { return item.GetAddresses(); },
        [&item](const std::string& text) { item.SetAddresses(text); });
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
}

void TRedirectsGui::ShowSettings() { binder_.Show(); }

void TRedirectsGui::StoreSettings() { binder_.Store(); }
