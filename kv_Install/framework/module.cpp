#include "framework/module.h"

HINSTANCE ResourceModule() { return ::GetModuleHandleA(nullptr); }
