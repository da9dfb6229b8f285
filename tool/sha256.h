// sha256.h -- SHA-256 (FIPS 180-4), for the digests that stand for card numbers in files the tool reads and writes
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessera::tool {

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(std::string_view bytes);

// Lower-case hex, 64 characters.
std::string Hex(const Sha256Digest& digest);

}  // namespace tessera::tool
