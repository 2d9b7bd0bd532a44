#pragma once
// The Features menu's maximize commands: their menu items, questions and reports.

#include <Qt>

#include <array>
#include <optional>

#include "level_tables.h"

namespace thornwake {

// One command of the Features menu.
struct MaximizeCommand {
    const char* item;
    const char* caption;
    Qt::Key key;
    const char* question;
    const char* doneTitle;
    const char* doneText;
    std::optional<CharacterId> character;  // none: all three
};

// In menu order.
extern const std::array<MaximizeCommand, 4> MaximizeCommands;

}  // namespace thornwake
