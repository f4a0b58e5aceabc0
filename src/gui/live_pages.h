#pragma once

// The controllers of the live and information pages: statistics, traffic, blocked, Lua, hub lists, about.
// Built by the window's composition and gone before the window.
class TLivePages {
 public:
};
