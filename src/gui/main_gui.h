#pragma once

// The kavro program: the hub with its administration window on one thread.
class TMainGui {
 public:
  static int Main(int argc, char** argv);
};
