#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

#include "gui/scanner_gui_base.h"
#include "security/word_scanner.h"

class QComboBox;
class QPlainTextEdit;
class QSpinBox;

// The private-message and search scanner pages: one action per item, with
// its reason and level. The two differ only in texts.
template <typename Item>
class TWordScannerGui : public TScannerGuiBase, public TWordScannerView<Item> {
 public:
  struct TTexts {
    const char* Area;           // "PMScanner", "SearchScanner"
    QStringList ActionChoices;  // the editor's action box, kinds 0..2
    std::string_view (*ActionName)(int action);  // the list's "[...]" names
  };

  TWordScannerGui(TMainGui& gui, TWordScanner<Item>& scanner, const TTexts& texts);
  ~TWordScannerGui() override;

  // The scanner's view.
  void RemoveItem(const Item& item) override { ForgetItem(item.Name); }
  void RefreshList() override { TScannerGuiBase::RefreshList(); }

 protected:
  int ItemCount() const override { return scanner_.GetCount(); }
  std::string ItemName(int index) const override { return scanner_.GetItem(index).Name; }
  const std::string* FindName(std::string_view word) const override;
  QStringList RowTexts(std::string_view name) const override;
  bool ScannerAdd(std::string_view word) override { return scanner_.Add(word) != nullptr; }
  bool ScannerRename(std::string_view name, std::string_view newName) override;
  bool ScannerDelete(std::string_view name) override { return scanner_.Delete(name); }
  void ShowFields(std::string_view name) override;
  void ClearFields() override;
  bool FieldsChanged() const override;
  void StoreFields(std::string_view name, bool all) override;

 private:
  TWordScanner<Item>& scanner_;
  std::string_view (*actionName_)(int action);
  QComboBox* action_;
  QPlainTextEdit* reason_;
  QSpinBox* level_;
  // The values the editor showed at the last load.
  int shownAction_ = 0;
  QString shownReason_;
  int shownLevel_ = 1;
};

extern template class TWordScannerGui<TPMScannerItem>;
extern template class TWordScannerGui<TSearchScannerItem>;
