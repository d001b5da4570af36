#pragma once
// Each window exists once: created on first use, when its Form_Load runs,
// and then only shown and hidden until the program ends. Tests destroy all
// windows between cases to start from a fresh program.

#include <functional>

namespace windows_detail {
void RegisterDestroyer(std::function<void()> destroy);

template <class W>
W*& Slot()
{
    static W* window = nullptr;
    return window;
}
} // namespace windows_detail

// The single instance of window class W, created (and loaded) on first use.
template <class W>
W& Instance()
{
    W*& slot = windows_detail::Slot<W>();
    if (!slot) {
        slot = new W();
        windows_detail::RegisterDestroyer([] {
            delete windows_detail::Slot<W>();
            windows_detail::Slot<W>() = nullptr;
        });
        slot->RunLoad();
    }
    return *slot;
}

// Whether window class W has been created yet.
template <class W>
bool Exists()
{
    return windows_detail::Slot<W>() != nullptr;
}

// Destroys every window created so far, newest first.
void DestroyAllWindows();
