#pragma once

// The controllers of the accounts, protected-nicks and profiles pages.
// Built by the window's composition and gone before the window.
class TAccountPages {
 public:
};
