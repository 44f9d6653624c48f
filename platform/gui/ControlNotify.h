#pragma once

// Notification codes our controls send their owners, with the numbers the owners compare.
// The codes every control sends alike live here; each control adds its own to the same
// scope in its header (TVN_ in controls/MultiTree.h, GRIDN_ in grid/GridDefs.h), so
// every code is defined once and a file may include any of the controls together.
namespace Notify
{
inline constexpr int NM_CLICK = -2;
inline constexpr int NM_DBLCLK = -3;
inline constexpr int NM_RCLICK = -5;
} // namespace Notify
