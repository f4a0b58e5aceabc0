#include "gui/gui_language.h"

#include <QComboBox>

#include "gui/text_1252.h"
#include "settings/language.h"

void TGuiLanguage::ShowWorkPaceNames(QComboBox& list, const TLanguage& language) {
  constexpr int kNames = 8;
  const auto first = static_cast<int>(TLanguageKey::cboSettingsWorkPace0);
  const int selected = list.currentIndex();
  const bool blocked = list.blockSignals(true);
  while (list.count() < kNames) list.addItem(QString());
  for (int i = 0; i < kNames; ++i)
    list.setItemText(i, TextFromBytes(language.Text(static_cast<TLanguageKey>(first + i))));
  list.setCurrentIndex(selected);
  list.blockSignals(blocked);
}
