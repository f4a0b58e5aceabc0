#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QPushButton;
class TSettings;

// 256 switches, one per byte value, as a text of "0"/"1". Owns its boxes.
class TframeCharMap : public QWidget {
  Q_OBJECT

 public:
  explicit TframeCharMap(QWidget* parent = nullptr);

  const std::string& Map() const { return map_; }
  // Only a text of exactly 256 characters that differs is taken.
  void SetMap(const std::string& text);
  QCheckBox* Box(int code) const { return boxes_[static_cast<std::size_t>(code)]; }

  // "065:A"; "&" is doubled so it shows instead of marking a shortcut.
  static QString BoxCaption(int code);

 private:
  std::array<QCheckBox*, 256> boxes_{};
  std::string map_ = std::string(256, '0');
};

// The flow of the two character-map dialogs over one setting of the record.
// Questions go to `ask` (true for Yes).
class TfrmCharMapDialog : public QDialog {
  Q_OBJECT

 public:
  using TAsk = std::function<bool(const QString& question)>;
  struct TSetting {
    std::function<bool(unsigned char)> InForce;  // the record's table
    std::function<void(const std::string&)> Apply;
    std::string Default;
  };

  TfrmCharMapDialog(const QString& caption, TSetting setting, TAsk ask, QWidget* parent = nullptr);

  // Fills the boxes from the table in force and shows the dialog modally;
  // true when the map was applied to the setting.
  bool Edit();
  TframeCharMap* Frame() const { return frame_; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* CloseButton() const { return close_; }
  QPushButton* ResetButton() const { return reset_; }

 protected:
  void done(int result) override;

 private:
  std::string InForce() const;

  TSetting setting_;
  TAsk ask_;
  TframeCharMap* frame_;
  QPushButton* apply_;
  QPushButton* close_;
  QPushButton* reset_;
  bool applyFlag_ = false;
};

// "Allowed nick chars": the bytes that can never be in a nick stay off.
class TfrmAllowedNickChars : public TfrmCharMapDialog {
  Q_OBJECT
 public:
  TfrmAllowedNickChars(TSettings& settings, TAsk ask, QWidget* parent = nullptr);
};

class TfrmWordDelimiter : public TfrmCharMapDialog {
  Q_OBJECT
 public:
  TfrmWordDelimiter(TSettings& settings, TAsk ask, QWidget* parent = nullptr);
};
