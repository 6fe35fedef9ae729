// Small helpers for the window core's pointer lists (listeners, filters,
// overlays, cores): the core's files share them, nothing outside uses them.
#pragma once

#include <algorithm>
#include <vector>

namespace ui {
namespace detail {

// Removes the first occurrence only; the order of the others is kept (lists
// are walked by index while they may change). False when it was not there.
template <typename T>
bool RemoveFirst(std::vector<T>& list, T item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

// Appends a non-null item; duplicates are allowed. False for null.
template <typename T>
bool AddItem(std::vector<T>& list, T item)
{
    if (!item)
        return false;
    list.push_back(item);
    return true;
}

// Appends an item that is not in the list yet. False when it already was.
template <typename T>
bool AddUnique(std::vector<T>& list, T item)
{
    if (std::find(list.begin(), list.end(), item) != list.end())
        return false;
    list.push_back(item);
    return true;
}

} // namespace detail
} // namespace ui
