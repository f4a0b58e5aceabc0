#include "gui/add_new_lua.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "gui/kavro_application.h"

TfrmAddNewLua::TfrmAddNewLua(TAdd add, QWidget* parent)
    : QDialog(parent),
      onAdd_(std::move(add)),
      name_(new QLineEdit(this)),
      add_(new QPushButton(QStringLiteral("Add"), this)) {
  setObjectName(QStringLiteral("frmAddNewLua"));
  setWindowTitle(QStringLiteral("Add new"));
  name_->setObjectName(QStringLiteral("edtNewScriptName"));
  add_->setObjectName(QStringLiteral("btnAddScript"));
  add_->setDefault(true);
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("Name:"), name_);
  layout->addRow(add_);
  connect(add_, &QPushButton::clicked, this, [this] {
    GuardSlot([this] {
      if (onAdd_ && onAdd_(name_->text())) accept();
    });
  });
}
