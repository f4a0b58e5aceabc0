#pragma once

// The controllers of the three scanner pages.
// Built by the window's composition and gone before the window.
class TScannerPages {
 public:
};
