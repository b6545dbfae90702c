// Counts heap allocations made through operator new on the calling thread, so a
// test can prove that a piece of code allocates nothing.
#pragma once

#include <cstddef>

namespace cordavex::test {

// Allocations made on this thread since the program started.
size_t AllocationCount();

}  // namespace cordavex::test
