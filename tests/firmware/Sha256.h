#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace testing_support
{

/** A compact SHA-256 (FIPS 180-4), enough to fingerprint the embedded image in tests. */
class Sha256
{
public:
    Sha256();

    void update (const std::uint8_t* bytes, std::size_t length);

    /** Finishes the digest and returns it as 64 lower-case hex digits. */
    std::string finishHex();

    static std::string hexOf (const std::uint8_t* bytes, std::size_t length);

private:
    void processBlock (const std::uint8_t* block);

    std::array<std::uint32_t, 8> state;
    std::array<std::uint8_t, 64> buffer{};
    std::size_t buffered = 0;
    std::uint64_t totalBytes = 0;
};

} // namespace testing_support
