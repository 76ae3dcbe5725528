// Why a run did not install, for whoever started it: one line each on the
// process's standard error, when it has one. A deployment tool or a command
// prompt that redirects it ("kvsetup.exe admin 2>setup.log") learns why an
// unattended run ended with a status other than 0; without a redirection the
// lines go nowhere. UTF-8, so that names read right on any system.
#pragma once

#include <cstdint>

// text in GBK, without the line's end, as it stands (it may hold several
// lines, "\n" between them).
void WriteStandardError(const char* text);
// text in GBK, without the line's end; "kvsetup: " goes before it. The line
// goes to the /LOG file too.
void WriteErrorLine(const char* text);
// An entry of the payload that was not written: its index, its name (GBK),
// the unpacking's result code and the system's error code at the failure.
void WriteEntryError(int32_t index, const char* name, uint32_t result, unsigned long systemError);
// A file another program held until unpacking gave it up: its index and
// name, the system's error, how long it was waited for and the programs that
// held it ("" when nobody can tell).
void WriteHeldEntryError(int32_t index, const char* name, unsigned long systemError, uint32_t heldMs,
                         const char* holders);

// The one way out for a fault the program cannot go on from (memory run
// out, a library's error, a stand-in of the C++ runtime reached): one line,
// "kvsetup: " and what (ASCII, without the line's end), on standard error
// and in the /LOG file, then its status line, and the process ends with 2
// at once, every thread with it. Nothing is shown, so a run nobody watches
// never waits on a box. Nothing is allocated on the way.
[[noreturn]] void EndOnFault(const char* what);
