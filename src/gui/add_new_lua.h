#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;
class QPushButton;

// The "Add new" dialog of the Lua page: a name and "Add". The page decides
// what a name may be; the dialog closes when it accepts one.
class TfrmAddNewLua : public QDialog {
  Q_OBJECT
 public:
  using TAdd = std::function<bool(const QString& typed)>;

  explicit TfrmAddNewLua(TAdd add, QWidget* parent = nullptr);

  QLineEdit* NameField() const { return name_; }
  QPushButton* AddButton() const { return add_; }

 private:
  TAdd onAdd_;
  QLineEdit* name_;
  QPushButton* add_;
};
