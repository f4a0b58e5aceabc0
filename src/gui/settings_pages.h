#pragma once

// The controllers of the settings pages: general (with the language), users, redirects, restrictions, security, notifications, miscellaneous.
// Built by the window's composition and gone before the window.
class TSettingsPages {
 public:
};
