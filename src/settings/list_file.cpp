#include "settings/list_file.h"

#include "platform/file_io.h"
#include "utils/xml_document.h"

TListFileRead ReadListFile(const std::string& path, std::string_view rootName,
                           std::string_view listName, TXMLDocument& document, bool& loading,
                           bool& saveBlocked,
                           const std::function<void(const std::string&)>& reportError) {
  if (!FileExists(path)) {
    loading = false;
    return TListFileRead::Missing;
  }
  if (!document.LoadFromFile(path) || document.Root().Name != rootName) {
    saveBlocked = true;
    loading = false;
    if (reportError) {
      reportError("Cannot read " + path + "; " + std::string(listName) +
                  " not loaded, saving them stopped");
    }
    return TListFileRead::Damaged;
  }
  saveBlocked = false;
  return TListFileRead::Read;
}
