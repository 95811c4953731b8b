#pragma once

// The location texts of the error report: the build, the window and the handler whose failure is
// reported, each ending in a space.

namespace quorvane::shell::location {

// The guarded handlers, whose statements carry numbers.
inline constexpr char16_t FormLoad[] = u"in Travenor2017/04/05.Form1.Form_Load ";
inline constexpr char16_t PushButton1Click[] = u"in Travenor2017/04/05.Form1.PushButton1_Click ";
inline constexpr char16_t PushButton2Click[] = u"in Travenor2017/04/05.Form1.PushButton2_Click ";
inline constexpr char16_t PushButton3Click[] = u"in Travenor2017/04/05.Form1.PushButton3_Click ";
inline constexpr char16_t PushButton4Click[] = u"in Travenor2017/04/05.Form1.PushButton4_Click ";
inline constexpr char16_t PushButton5Click[] = u"in Travenor2017/04/05.Form1.PushButton5_Click ";
inline constexpr char16_t PushButton6Click[] = u"in Travenor2017/04/05.Form1.PushButton6_Click ";
inline constexpr char16_t PushButton9Click[] = u"in Travenor2017/04/05.Form1.PushButton9_Click ";

// A drop on the list, which has no numbered statements: its failures are always at line 0.
inline constexpr char16_t ListView1DragDrop[] = u"in Travenor2017/04/05.Form1.ListView1_DragDrop ";

} // namespace quorvane::shell::location
