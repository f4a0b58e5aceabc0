#include "gui/users_gui.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "gui/controls/conn_restriction_frame.h"
#include "gui/page_busy.h"
#include "settings/settings.h"

TUsersGui::TUsersGui(TSettings& settings)
    : settings_(settings), binder_("GUI.Users.StoreSettings", [this](int) { StoreSettings(); }) {
  Build();
}

void TUsersGui::Build() {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("UsersPage"));
  auto* layout = new QVBoxLayout(page_);
  auto* general = new QGroupBox(QStringLiteral("General"), page_);
  auto* form = new QFormLayout(general);
  TSettings& s = settings_;

  auto* regOnly = NewCheck(general, "chkRegOnlyHub",
                           QStringLiteral("Require an account or registered (reg only)"));
  auto* allowRegister =
      NewCheck(general, "chkAllowUsersToRegister",
               QStringLiteral("Enable register (allows users to register there nicks)"));
  chkUseISPCheck_ = NewCheck(general, "chkUseISPCheck", QStringLiteral("Enable ISP/IP check"));
  chkNoISPAllowed_ =
      NewCheck(general, "chkNoISPAllowed", QStringLiteral("Allow IPs not found in ISP list"));
  auto* caseSensitive = NewCheck(general, "chkCaseSenstivePrefixPatternCompare",
                                 QStringLiteral("Use case sensitive prefix validation"));
  auto* usePrefix = NewCheck(general, "chkUseGeneralPrefixPatternCheck",
                             QStringLiteral("Require prefix"));
  auto* prefix = NewEdit(general, "edtGeneralPrefixPattern",
                         QStringLiteral("The general prefix pattern, ex. [NORM] or [USER];[NORM]"));
  chkPassword_ = NewCheck(general, "chkPassword", QStringLiteral("Require a password"));
  edtPassword_ = NewEdit(general, "edtPassword");
  auto* message = new QPlainTextEdit(general);
  message->setObjectName(QStringLiteral("mmoPasswordMessage"));
  message->setMaximumHeight(60);

  for (QCheckBox* box : {regOnly, allowRegister, chkUseISPCheck_, chkNoISPAllowed_, caseSensitive})
    form->addRow(box);
  form->addRow(usePrefix, prefix);
  form->addRow(chkPassword_, edtPassword_);
  form->addRow(QStringLiteral("Password message"), message);
  layout->addWidget(general);

  auto* restriction = new QGroupBox(QStringLiteral("Default connection restrictions"), page_);
  auto* frameLayout = new QVBoxLayout(restriction);
  frame_ = new TframeConnRestriction(restriction);
  frame_->setObjectName(QStringLiteral("frameUsersConnRestriction"));
  frameLayout->addWidget(frame_);
  layout->addWidget(restriction);
  layout->addStretch(1);

  binder_.Check(0, regOnly, s.RegOnlyHub);
  binder_.Check(0, allowRegister, s.AllowUsersToRegister);
  binder_.Check(0, chkUseISPCheck_, s.UseISPCheck);
  binder_.Check(0, chkNoISPAllowed_, s.NoISPAllowed);
  binder_.Check(0, caseSensitive, s.CaseSenstivePrefixPatternCompare);
  binder_.Check(0, usePrefix, s.UseGeneralPrefixPatternCheck);
  binder_.Text(0, prefix, s.GeneralPrefixPattern);
  binder_.Check(0, chkPassword_, s.Password.Enabled);
  binder_.Text(0, edtPassword_, s.Password.Value);
  binder_.Memo(0, message, s.PasswordMessage);
}

void TUsersGui::Initialize() {
  ShowRestriction();
  frame_->SetAutoApply(true);
  ShowSettings();
}

void TUsersGui::ShowSettings() {
  binder_.Show();
  UpdateEnabled();
}

// The box of a switch whose condition is off keeps its tick: the stored
// value returns with the condition.
void TUsersGui::UpdateEnabled() {
  chkNoISPAllowed_->setEnabled(chkUseISPCheck_->isChecked());
  chkPassword_->setEnabled(!edtPassword_->text().isEmpty());
}

void TUsersGui::StoreSettings() {
  if (binder_.Busy()) return;
  binder_.Store();
  UpdateEnabled();
}

void TUsersGui::ShowRestriction() {
  TBusyScope busy(binder_.BusyFlag());
  frame_->Attach(&settings_.ConnRestriction);
}

void TUsersGui::RefreshRestriction() { frame_->Commit(false); }
