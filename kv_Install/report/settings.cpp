#include "report/settings.h"

#include <windows.h>

bool ReadUserNumberText(char*) { return false; }

void ReadDownloadSource(char* buffer) {
  ::GetPrivateProfileStringA("DownLoadSource", "source", "kvpc012", buffer, 512, ".\\config.ini");
}
