#pragma once

class QComboBox;
class TLanguage;

// The window's texts that come from the language file.
class TGuiLanguage {
 public:
  // The eight work-pace names of the language, in order; the selected
  // entry stays selected.
  static void ShowWorkPaceNames(QComboBox& list, const TLanguage& language);
};
