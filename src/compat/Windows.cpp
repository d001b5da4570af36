#include "compat/Windows.h"

#include <vector>

namespace {
std::vector<std::function<void()>>& Destroyers()
{
    static std::vector<std::function<void()>> destroyers;
    return destroyers;
}
} // namespace

void windows_detail::RegisterDestroyer(std::function<void()> destroy)
{
    Destroyers().push_back(std::move(destroy));
}

void DestroyAllWindows()
{
    auto destroyers = std::move(Destroyers());
    Destroyers().clear();
    for (auto it = destroyers.rbegin(); it != destroyers.rend(); ++it)
        (*it)();
}
