// Fixed-width integer names of the object framework.
#pragma once

#include <cstdint>

typedef std::uint8_t U8;
typedef std::uint16_t U16;
typedef std::uint32_t U32;
typedef std::uint64_t U64;
