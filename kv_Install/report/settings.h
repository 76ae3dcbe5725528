// Settings the install step reads: the user number from the registry and the
// download source from the config.ini beside the installer.
#pragma once

// Copies the "kcno" value of HKCU\Software\KV\ORBEN into the caller's zeroed
// 512-byte buffer. False, with the buffer untouched, when it cannot be read.
bool ReadUserNumberText(char* buffer);

// DownLoadSource/source of .\config.ini into a 512-byte buffer; "kvpc012"
// when the file, section or key is missing.
void ReadDownloadSource(char* buffer);
