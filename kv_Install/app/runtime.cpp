// What kvsetup.exe takes instead of parts of the static C++ runtime that
// would otherwise come along with the few library functions it calls.
//
// The installer is built without exceptions (cmake/KvCompile.cmake) and
// catches none, so an exception thrown inside the library could only end
// the program: std::terminate, whose default handler calls abort(). The
// library's own throwing helpers would still bring in the exception classes
// (with a second, reference-counted std::string beneath them) and its
// default terminate handler a C++ name demangler, about 100 KB together for
// a program with no console to print a demangled name on. Here each ends the
// program through its one fatal path (core/error_lines.h): a line saying
// what, and status 2. Never abort(): the C runtime's would show an
// "abnormal program termination" box that an unattended run waits on for
// ever, then end with 3, which says another installer was running.
#include <cstdio>
#include <cstdlib>

#include "core/error_lines.h"

namespace {

// what: the library's own words, where it gives any.
[[noreturn, gnu::noinline]] void LibraryError(const char* what) {
  char line[160];
  (void)std::snprintf(line, sizeof line, "the C++ library's error (%.100s); the program ends",
                      what != nullptr ? what : "");
  EndOnFault(line);
}

}  // namespace

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { EndOnFault("std::terminate was called; the program ends"); }
}  // namespace __gnu_cxx

namespace std {
[[noreturn]] void __throw_bad_alloc() { LibraryError(nullptr); }
[[noreturn]] void __throw_bad_array_new_length() { LibraryError(nullptr); }
[[noreturn]] void __throw_bad_cast() { LibraryError(nullptr); }
[[noreturn]] void __throw_bad_exception() { LibraryError(nullptr); }
[[noreturn]] void __throw_bad_typeid() { LibraryError(nullptr); }
[[noreturn]] void __throw_domain_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_invalid_argument(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_length_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_logic_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_out_of_range(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_out_of_range_fmt(const char* what, ...) { LibraryError(what); }
[[noreturn]] void __throw_overflow_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_range_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_runtime_error(const char* what) { LibraryError(what); }
[[noreturn]] void __throw_underflow_error(const char* what) { LibraryError(what); }
}  // namespace std

// The allocation functions. The library's own would throw std::bad_alloc
// when memory runs out, and with the throw comes the whole exception
// machinery: the unwinder, the personality routine, thread-local exception
// state, some 30 KB. A failed plain new ends the program here instead, as
// the uncaught bad_alloc would have, by the fatal path; the nothrow forms
// return null as ever.
#include <cstddef>
#include <new>

void* operator new(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) {
    char line[80];
    (void)std::snprintf(line, sizeof line, "out of memory (%lu bytes asked for); the program ends",
                        static_cast<unsigned long>(size));
    EndOnFault(line);
  }
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// Function-local statics are made once whichever thread first comes by
// (the install step has a thread of its own). The library's guard would
// throw on a recursive initialisation; this one has a single lock for all
// statics, which the thread that holds it may take again (one static's
// initialiser may use another's).
#include <windows.h>

namespace {

volatile LONG staticsOwner = 0;  // the thread ID that holds the lock, 0 when free
LONG staticsDepth = 0;

void LockStatics() {
  const LONG me = static_cast<LONG>(::GetCurrentThreadId());
  if (staticsOwner == me) {
    ++staticsDepth;
    return;
  }
  while (::InterlockedCompareExchange(&staticsOwner, me, 0) != 0) ::Sleep(0);
  staticsDepth = 1;
}

void UnlockStatics() {
  if (--staticsDepth == 0) ::InterlockedExchange(&staticsOwner, 0);
}

}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
  char* done = reinterpret_cast<char*>(guard);
  if (__atomic_load_n(done, __ATOMIC_ACQUIRE) != 0) return 0;
  LockStatics();
  if (*done != 0) {
    UnlockStatics();
    return 0;
  }
  return 1;  // the caller initialises, then releases (or aborts)
}
extern "C" void __cxa_guard_release(long long* guard) {
  __atomic_store_n(reinterpret_cast<char*>(guard), 1, __ATOMIC_RELEASE);
  UnlockStatics();
}
extern "C" void __cxa_guard_abort(long long*) { UnlockStatics(); }

#if defined(__i386__)
// The library's own code is compiled with exceptions: its unwind tables
// name the personality routine, its clean-ups resume unwinding and its
// catch blocks begin, end and rethrow. Nothing in this program ever starts
// an unwind (every throw above ends it), so none of them is ever called;
// each ends the program should it ever be. Without them the unwinder comes
// along (x86-64 keeps its own: there the same tables are Windows' SEH data).
extern "C" [[noreturn]] void __gxx_personality_v0() { LibraryError(nullptr); }
extern "C" [[noreturn]] void _Unwind_Resume(void*) { LibraryError(nullptr); }
extern "C" [[noreturn]] void* __cxa_begin_catch(void*) noexcept { LibraryError(nullptr); }
extern "C" [[noreturn]] void __cxa_end_catch() { LibraryError(nullptr); }
extern "C" [[noreturn]] void __cxa_rethrow() { LibraryError(nullptr); }
#endif
