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
