#include "gui/miscellaneous_gui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include "core/kavro_root.h"
#include "settings/settings.h"

namespace {

QComboBox* VisibilityList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems({QStringLiteral("Nobody"), QStringLiteral("The one writing"),
                  QStringLiteral("Operators"), QStringLiteral("Operators and self"),
                  QStringLiteral("Everyone")});
  return list;
}

}  // namespace

TMiscellaneousGui::TMiscellaneousGui(TKavroRoot& root)
    : binder_("GUI.Miscellaneous.StoreSettings", [this](int) { StoreSettings(); }) {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("MiscellaneousPage"));
  auto* grid = new QGridLayout(page_);
  TSettings& s = root.Settings();
  auto visibility = [this](QComboBox* list, TCommandVisibility& value) {
    binder_.Combo(
        0, list, [&value] { return static_cast<int>(value); },
        [&value](int index) { value = static_cast<TCommandVisibility>(index); });
  };
  auto* hubVisibility = VisibilityList(page_, "cboHubCommandsVisability");
  auto* hubForce = NewCheck(page_, "chkHubCommandsForceToPM", QStringLiteral("Force reply to PM"));
  auto* showSelf = NewCheck(page_, "chkHubCommandsShowCommandToSelf",
                            QStringLiteral("Show command written to self"));
  auto* integratedVisibility = VisibilityList(page_, "cboIntegratedCommandsVisability");
  auto* integratedForce =
      NewCheck(page_, "chkIntegratedCommandsForceToPM", QStringLiteral("Force reply to PM"));
  auto* maxHits = NewSpin(page_, "seMaxHitsOnSearch", 0, 500);
  auto* userIP =
      NewCheck(page_, "chkAutoSendOwnUserIP", QStringLiteral("Autosend own UserIP on login"));

  grid->addWidget(new QLabel(QStringLiteral("Hub command visibility"), page_), 0, 0);
  grid->addWidget(hubVisibility, 0, 1);
  grid->addWidget(hubForce, 1, 1);
  grid->addWidget(showSelf, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Integrated command visibility"), page_), 3, 0);
  grid->addWidget(integratedVisibility, 3, 1);
  grid->addWidget(integratedForce, 4, 1);
  grid->addWidget(new QLabel(QStringLiteral("Maxhits on hub commands searches"), page_), 5, 0);
  grid->addWidget(maxHits, 5, 1);
  grid->addWidget(userIP, 6, 0, 1, 2);
  auto* sharersOnly =
      NewCheck(page_, "chkDontSendSearch", QStringLiteral("Search not sended to 0 share users"));
  grid->addWidget(sharersOnly, 7, 0, 1, 2);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(2, 1);

  visibility(hubVisibility, s.HubCommandsVisability);
  binder_.Check(0, hubForce, s.HubCommandsForceToPM);
  binder_.Check(0, showSelf, s.HubCommandsShowCommandToSelf);
  visibility(integratedVisibility, s.IntegratedCommandsVisability);
  binder_.Check(0, integratedForce, s.IntegratedCommandsForceToPM);
  binder_.Spin(0, maxHits, s.MaxHitsOnSearch);
  binder_.Check(0, userIP, s.AutoSendOwnUserIP);
  binder_.Check(
      0, sharersOnly, [&root] { return root.SearchOnlyToSharers(); },
      [&root](bool on) { root.SetSearchOnlyToSharers(on); });
}
