#pragma once

// A SHA-256 digest of a run of values, for telling whether the inputs of an
// output file or the bytes of a record changed since they were last seen.
// Each value is added with its length, so ("ab", "c") and ("a", "bc")
// differ.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace postloom::platform {

class Digest {
public:
    Digest();
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    Digest& Add(std::string_view bytes);
    Digest& Add(std::uint64_t number);
    // The digest in lower-case hexadecimal (64 characters); the digest
    // takes nothing more afterwards.
    std::string Hex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace postloom::platform
