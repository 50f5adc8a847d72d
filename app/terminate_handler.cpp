// Linked into the windowed programs only. The C++ runtime's default terminate handler writes the type of
// an escaped exception, demangled, to the standard error stream, which a windowed program does not have;
// the demangler it brings is some 50 KB of the executable. This definition takes its place at link time,
// and std::terminate ends the process the same way, through abort.
#include <cstdlib>

namespace __gnu_cxx {

// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, replaced on purpose.
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
