// What std::terminate does in kvsetup.exe: end the process at once.
//
// The C++ runtime's default terminate handler prints the name of the pending
// exception, and for that links the whole symbol demangler (about 45 KB of
// the stub). The installer's own code throws nothing and has no console to
// print to, so its own handler replaces that one: being defined here, in an
// object of the program itself, it keeps the runtime's from being linked.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
