#pragma once

namespace sorvin {

// The screen the main window shows. Commands that act on photos act only on `select`.
enum class AppScreen { home, loading, select };

} // namespace sorvin
