// The package key: the starting state of the package cipher chain.
//
// The installer's reader and the package builder (mkpackage) both take it from
// here, so a package built by the tool is the package the installer expects.
// Changing it invalidates every package built before.
#pragma once

#include <cstdint>

constexpr uint32_t kPackageKey = 0x5A17C3E9u;
