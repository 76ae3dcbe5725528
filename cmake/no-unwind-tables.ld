/* The 32-bit installer throws nothing and links no unwinder: the DWARF
   unwind tables the C++ library, zlib and the MinGW runtime bring are read
   by nobody. Only the start-up object's own stays, since its frame
   registration names it. */
SECTIONS
{
  /DISCARD/ : { EXCLUDE_FILE(*crtbegin.o) *(.eh_frame .eh_frame$*) }
}
INSERT BEFORE .text;
