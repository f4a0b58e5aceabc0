#include "scripting/rtf_picture.h"

#include <stdexcept>

void ConvertPictureToRtfFile(const TPictureLoader&, const std::string&, const std::string&, int) {
  throw std::runtime_error("picture conversion not built yet");
}
