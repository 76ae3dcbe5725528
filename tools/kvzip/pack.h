// kvzip pack: a payload archive made from a folder, in the shape the
// installer's reader wants. Host builds only.
#pragma once

// Packs every file and folder below folder into archive (written anew).
// Names are GBK where every character fits, else UTF-8 with general-purpose
// bit 11; files are LZMA at the strongest setting, the dictionary fitted to
// the file (deflate at level 9 with useDeflate), or stored when that is not
// smaller. Folders, attributes and times go with them. 0 on success; else
// a message on stderr and 1.
int PackFolder(const char* folder, const char* archive, bool useDeflate);
