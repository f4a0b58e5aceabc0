// kavro: the hub with its administration window.

#include "app/qt_picture_loader.h"
#include "gui/main_gui.h"

int main(int argc, char** argv) { return TMainGui::Main(argc, argv, MakeQtPictureLoader()); }
