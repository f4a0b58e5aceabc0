#pragma once

// The controllers of the ban-list and ISP pages.
// Built by the window's composition and gone before the window.
class TBanIspPages {
 public:
};
