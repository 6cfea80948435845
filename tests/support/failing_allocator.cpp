#include "tests/support/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace morvane::testing {

long gAllocationsUntilFailure = -1;
long gAllocationsMade = 0;

namespace {

void* Allocate(std::size_t size) {
  if (gAllocationsUntilFailure == 0) {
    gAllocationsUntilFailure = -1;
    throw std::bad_alloc();
  }
  if (gAllocationsUntilFailure > 0) --gAllocationsUntilFailure;
  ++gAllocationsMade;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace
}  // namespace morvane::testing

void* operator new(std::size_t size) {
  return morvane::testing::Allocate(size);
}
void* operator new[](std::size_t size) {
  return morvane::testing::Allocate(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
