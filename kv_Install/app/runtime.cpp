// What kvsetup.exe takes instead of parts of the static C++ runtime that
// would otherwise come along with the few library functions it calls.
//
// The installer is built without exceptions (cmake/KvCompile.cmake) and
// catches none, so an exception thrown inside the library could only end
// the program: std::terminate, whose default handler calls abort(). The
// library's own throwing helpers would still bring in the exception classes
// (with a second, reference-counted std::string beneath them) and its
// default terminate handler a C++ name demangler, about 100 KB together for
// a program with no console to print a demangled name on. Here both end the
// program the same way at once, as abort() does.
#include <cstdlib>

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_bad_cast() { std::abort(); }
[[noreturn]] void __throw_bad_exception() { std::abort(); }
[[noreturn]] void __throw_bad_typeid() { std::abort(); }
[[noreturn]] void __throw_domain_error(const char*) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_overflow_error(const char*) { std::abort(); }
[[noreturn]] void __throw_range_error(const char*) { std::abort(); }
[[noreturn]] void __throw_runtime_error(const char*) { std::abort(); }
[[noreturn]] void __throw_underflow_error(const char*) { std::abort(); }
}  // namespace std

// The allocation functions. The library's own would throw std::bad_alloc
// when memory runs out, and with the throw comes the whole exception
// machinery: the unwinder, the personality routine, thread-local exception
// state, some 30 KB. A failed plain new ends the program here instead, as
// the uncaught bad_alloc would have; the nothrow forms return null as ever.
#include <cstddef>
#include <new>

void* operator new(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) std::abort();
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
extern "C" [[noreturn]] void __gxx_personality_v0() { std::abort(); }
extern "C" [[noreturn]] void _Unwind_Resume(void*) { std::abort(); }
extern "C" [[noreturn]] void* __cxa_begin_catch(void*) noexcept { std::abort(); }
extern "C" [[noreturn]] void __cxa_end_catch() { std::abort(); }
extern "C" [[noreturn]] void __cxa_rethrow() { std::abort(); }
#endif
