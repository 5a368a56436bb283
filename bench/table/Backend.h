// The two ways the library programs the table, as the benchmarks name them.
#pragma once

namespace TableBench {

enum class Backend { pd, bfRt };

inline constexpr Backend backends[] = {Backend::pd, Backend::bfRt};

inline const char* backendName(Backend backend) noexcept {
  return backend == Backend::pd ? "pd" : "bfrt";
}

}  // namespace TableBench
