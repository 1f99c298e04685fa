// The launcher window's controls in one table: the ID each carries (so that tools
// driving the program from outside find it by ID or by caption) and whether it
// is a push button, whose clicks are the user's.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>

#include "platform/WindowServices.h"
#include "platform/win32/Win32UiIds.h"

namespace dravik::win32ui {

struct ControlEntry {
    Control control;
    int id;
    bool isButton;
};

// In the order of `Control`: a control's row is its value.
constexpr ControlEntry kControls[] = {
    {Control::CmdKraj, kIdCmdKraj, true},                     // "Kraj"
    {Control::CmdPokreniProgram, kIdCmdPokreniProgram, true}, // "Pokreni program"
    {Control::CmdUzmiNoviMDE, kIdCmdUzmiNoviMDE, true},       // "Uzmi novi MDA"
    {Control::Label1, kIdLabel1, false},                      // the status text
};
constexpr std::size_t kControlCount = std::size(kControls);

constexpr std::size_t IndexOf(Control control) {
    return static_cast<std::size_t>(control);
}

constexpr bool RowsFollowTheEnum() {
    for (std::size_t row = 0; row < kControlCount; ++row) {
        if (IndexOf(kControls[row].control) != row) {
            return false;
        }
    }
    return true;
}
static_assert(RowsFollowTheEnum(), "a control's row must be its value");

// The push button that carries `id`, if one does.
inline std::optional<Control> ButtonWithId(int id) {
    for (const ControlEntry &entry : kControls) {
        if (entry.isButton && entry.id == id) {
            return entry.control;
        }
    }
    return std::nullopt;
}

} // namespace dravik::win32ui
