// The client's files, carried as resource "ZIP" 146 of the installer itself.
#pragma once

#include "archive/payload_result.h"

// Unpacks every entry of the embedded archive into installDir, in directory
// order; an entry that fails does not stop the others.
PayloadResult UnpackPayload(const char* installDir);
