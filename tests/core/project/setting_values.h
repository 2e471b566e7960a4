#pragma once

#include "core/project/project_settings.h"

#include <string>
#include <type_traits>
#include <variant>

namespace postloom::test {

// Gives every setting a value that differs from its construction and reset
// values and from every other record filled with another seed: texts with a
// double-byte character, negative numbers, colours with the top bit set.
inline void FillEverySetting(ProjectSettings& settings, int seed)
{
    int i = 0;
    for (const SettingDefinition* entry : AllSettings()) {
        const SettingDefinition& def = *entry;
        ++i;
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<T, std::string>)
                    settings.*member = std::string(def.key) + " \x8A\xBF=" + std::to_string(seed * 1000 + i);
                else if constexpr (std::is_same_v<T, std::uint32_t>)
                    settings.*member = 0x80000000u + static_cast<std::uint32_t>(seed * 1000 + i);
                else
                    settings.*member = -(seed * 1000 + i);
            },
            def.member);
    }
}

}  // namespace postloom::test
