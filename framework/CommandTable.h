// Commands routed through tables: one row per command id (or range of ids)
// names the member function that carries it out.
#pragma once
#include <windows.h>

#include <span>

template <class T>
struct CommandRow {
    UINT first;
    UINT last;  // equal to `first` for a single command
    void (T::*run)(UINT id);
};

// Runs the row of `id`, if any; true when one was found.
template <class T>
bool runCommand(T& target, std::span<const CommandRow<T>> table, UINT id) {
    for (const CommandRow<T>& row : table) {
        if (id >= row.first && id <= row.last) {
            (target.*row.run)(id);
            return true;
        }
    }
    return false;
}
