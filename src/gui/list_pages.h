#pragma once

// The controllers of the text-commands, chat-rooms and user-statistics pages and the import dialog.
// Built by the window's composition and gone before the window.
class TListPages {
 public:
};
