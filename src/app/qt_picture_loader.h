#pragma once

#include "scripting/rtf_picture.h"

// The picture loader the entries register for scripts: Qt's image readers
// (BMP and PNG built in, JPEG and GIF through Qt's image plugins). It needs
// no application object, display or platform plugin, so the headless hub
// reads the same files as the window program.
TPictureLoader MakeQtPictureLoader();
