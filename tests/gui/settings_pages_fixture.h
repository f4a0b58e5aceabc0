#pragma once

#include <QString>
#include <QWidget>

#include "gui/gui_fixture.h"
#include "gui/miscellaneous_gui.h"
#include "gui/notifications_gui.h"
#include "gui/redirects_gui.h"
#include "gui/restrictions_gui.h"
#include "gui/security_gui.h"
#include "gui/settings_gui.h"
#include "gui/settings_pages.h"
#include "gui/users_gui.h"

// A control of the settings pages by its object name: other pages may
// use the same names.
template <class T>
T* Mine(TMainGui& gui, const QString& name) {
  TSettingsPages& pages = gui.SettingsPages();
  for (QWidget* page : {pages.General().Page(), pages.Users().Page(), pages.Redirects().Page(),
                        pages.Restrictions().Page(), pages.Security().Page(),
                        pages.Notifications().Page(), pages.Miscellaneous().Page()})
    if (T* control = page->findChild<T*>(name)) return control;
  ADD_FAILURE() << "no control " << name.toStdString();
  return nullptr;
}
