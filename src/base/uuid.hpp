#pragma once
// 128-bit identifiers, written upper-case and hyphenated (8-4-4-4-12).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

class Uuid {
public:
    Uuid() = default; // all zero
    static Uuid random();
    // Accepts either case; anything but the 36-character hyphenated form is none.
    static std::optional<Uuid> parse(std::string_view text);

    std::string toString() const;
    bool isNil() const;
    auto operator<=>(const Uuid&) const = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

} // namespace pennial
