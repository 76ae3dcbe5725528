#include "core/shell_links.h"

void CreateShellLinks(const char*) {}

int SaveShellLink(int, const char*, int, int) { return 0; }
