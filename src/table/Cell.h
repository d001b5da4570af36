#pragma once
// A cell of the row table: empty (never given a value) or a whole number;
// empty counts as 0.

#include <optional>

using Cell = std::optional<long long>;
