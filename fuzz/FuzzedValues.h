// Values read one after another from a fuzzer's input, zero once it is used up, for fuzzers that
// build a semantically valid-looking input from a description rather than take the bytes as
// they are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzedValues {
 public:
  FuzzedValues(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <class T>
  T next() {
    T value{};
    size_t taken = std::min(sizeof value, size_ - at_);
    std::memcpy(&value, data_ + at_, taken);
    at_ += taken;
    return value;
  }
  // True about once in `times`; false once the input is used up.
  bool onceIn(unsigned times) { return next<uint8_t>() % times == times - 1; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};
