#pragma once

#include <string>

// kavrod --import: the predecessor's lists read into a home's settings
// files, without starting the hub.
struct TImportOptions {
  std::string Home;
  std::string Folder;
  bool ClearOld = false;
  bool CreateMissingProfiles = true;
};

// Loads the home's settings files, imports every Murn file found in the
// folder, prints each message and result line, then saves every settings
// file. 0 when every import and the save succeeded, else 1.
int RunImport(const TImportOptions& options);
