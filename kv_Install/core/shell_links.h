// Start-menu and desktop shortcuts. The two link objects are COM objects of
// the apartment of the thread that makes them: made by CreateShellLinks and
// released by ReleaseShellLinks on that same thread, before it uninitialises
// COM.
#pragma once

// Prepares the run link (target kvUpdate.exe) and the uninstall link (target
// kv_Uninstall.exe) for installDir.
void CreateShellLinks(const char* installDir);

// Saves link `which` (0 run link, nonzero uninstall link) as fileName in the
// special folder csidl, inside the product subfolder "Kelvane" when
// inSubfolder is nonzero. 1 when the file was saved, else 0.
int SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder);

// Releases both link objects; SaveShellLink then saves nothing until the next
// CreateShellLinks.
void ReleaseShellLinks();
