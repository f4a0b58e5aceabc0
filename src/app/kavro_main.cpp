// kavro: the hub with its administration window.

#include "gui/main_gui.h"

int main(int argc, char** argv) { return TMainGui::Main(argc, argv); }
