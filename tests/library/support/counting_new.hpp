#pragma once
// Every allocation of the process counted, for the proofs that transfers
// allocate nothing. Linking counting_new.cpp replaces the global operator
// new, so it goes into binaries of its own.

namespace dravik::testing {

// Allocations made through operator new since the process started.
long AllocationCount();

}  // namespace dravik::testing
