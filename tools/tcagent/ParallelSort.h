// Sorting of the agent's large vectors (a million entries and rows) on both of a small machine's
// cores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <system_error>
#include <thread>

namespace TcAgent {

// Sorts [first, last) by `less` as std::sort does. A large range is split at its middle element
// (found in linear time), and the halves are sorted at once, one on a thread of its own; the
// elements must be plain values that the two threads may move independently.
template <class RandomIt, class Less>
void sortInParallel(RandomIt first, RandomIt last, Less less) {
  // Below this, a thread costs more than it saves.
  constexpr std::ptrdiff_t parallelMin = 1 << 16;
  if (last - first < parallelMin) {
    std::sort(first, last, less);
    return;
  }
  const RandomIt middle = first + (last - first) / 2;
  std::nth_element(first, middle, last, less);
  std::thread lower;
  try {
    lower = std::thread([first, middle, less] { std::sort(first, middle, less); });
  } catch (const std::system_error&) {
    std::sort(first, middle, less);
  }
  std::sort(middle, last, less);
  if (lower.joinable()) lower.join();
}

template <class RandomIt>
void sortInParallel(RandomIt first, RandomIt last) {
  sortInParallel(first, last, std::less<>());
}

}  // namespace TcAgent
