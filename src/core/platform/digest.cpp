#include "core/platform/digest.h"

#include <glib.h>

namespace postloom::platform {

struct Digest::State {
    State() : checksum(g_checksum_new(G_CHECKSUM_SHA256)) {}
    ~State() { g_checksum_free(checksum); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void Update(std::string_view bytes)
    {
        // g_checksum_update takes a signed length: feed large runs in pieces.
        constexpr std::size_t kPiece = std::size_t{1} << 30;
        while (!bytes.empty()) {
            const std::string_view piece = bytes.substr(0, kPiece);
            g_checksum_update(checksum, reinterpret_cast<const guchar*>(piece.data()),
                              static_cast<gssize>(piece.size()));
            bytes.remove_prefix(piece.size());
        }
    }

    GChecksum* checksum;
};

Digest::Digest() : state_(std::make_unique<State>()) {}

Digest::~Digest() = default;

Digest& Digest::Add(std::uint64_t number)
{
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(number >> (8 * i));
    state_->Update(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
    return *this;
}

Digest& Digest::Add(std::string_view bytes)
{
    Add(static_cast<std::uint64_t>(bytes.size()));
    state_->Update(bytes);
    return *this;
}

std::string Digest::Hex()
{
    return g_checksum_get_string(state_->checksum);
}

}  // namespace postloom::platform
