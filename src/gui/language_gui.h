#pragma once

#include <functional>

class QComboBox;
class QWidget;
class TKavroRoot;

// The language controls of the General settings page: the list of
// language files, "Reload" and "Save". The controls belong to the window.
class TLanguageGui {
 public:
  // `selected` runs after every language selection (the work-pace names).
  TLanguageGui(TKavroRoot& root, QWidget* parent, std::function<void()> selected);
  TLanguageGui(const TLanguageGui&) = delete;
  TLanguageGui& operator=(const TLanguageGui&) = delete;

  QComboBox* List() const { return list_; }
  void ShowLanguages();
  void SelectLanguage();
  void Reload();
  void Save();

 private:
  TKavroRoot& root_;
  std::function<void()> selected_;
  QComboBox* list_ = nullptr;
  bool busy_ = false;
};
