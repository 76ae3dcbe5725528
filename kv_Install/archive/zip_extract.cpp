#include "archive/zip_reader.h"

uint32_t ZipExtractEntry(ZipHandle*, int32_t, const char*) { return ZRES_BAD_ARGUMENT; }
