// Start-menu and desktop shortcuts. The two link objects are made once per
// install and kept for the rest of the process.
#pragma once

// Prepares the run link (target kvUpdate.exe) and the uninstall link (target
// kv_Uninstall.exe) for installDir.
void CreateShellLinks(const char* installDir);

// Saves link `which` (0 run link, nonzero uninstall link) as fileName in the
// special folder csidl, inside the product subfolder "Kelvane" when
// inSubfolder is nonzero. 1 when the file was saved, else 0.
int SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder);
