#include "core/platform/digest.h"

#include <nettle/sha2.h>

#include <array>
#include <cstdint>

namespace postloom::platform {

// Nettle picks the processor's SHA instructions where there are any: a
// run digests the inputs of every page and the whole site record, and
// that costs a tenth of a portable implementation's time.
struct Digest::State {
    State() { sha256_init(&context); }

    sha256_ctx context{};
};

Digest::Digest() : state_(std::make_unique<State>()) {}

Digest::~Digest() = default;

Digest& Digest::Add(std::uint64_t number)
{
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
    sha256_update(&state_->context, bytes.size(), bytes.data());
    return *this;
}

Digest& Digest::Add(std::string_view bytes)
{
    Add(static_cast<std::uint64_t>(bytes.size()));
    sha256_update(&state_->context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return *this;
}

std::string Digest::Hex()
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&state_->context, digest.size(), digest.data());
    std::string hex;
    hex.reserve(2 * digest.size());
    for (const std::uint8_t byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0xF]);
    }
    return hex;
}

}  // namespace postloom::platform
