#pragma once

#include <QString>

namespace quorvane::shell {

// The product title: the main window's caption and the source of the application title.
QString productTitle();

// The application title rule: remove the last space and everything after it, and repeat while the
// result is longer than 40 characters; the removal happens at least once. A title without a space
// stays whole.
QString applicationTitleFrom(const QString& title);

// Build-time configuration: the support address of the error report and the home page opened on
// the start-up chance (empty: never opened).
QString supportEmail();
QString homePageUrl();

// The location texts of the guarded handlers, each ending in a space.
namespace location {
inline constexpr char16_t FormLoad[] = u"in Travenor2017/04/05.Form1.Form_Load ";
inline constexpr char16_t PushButton1Click[] = u"in Travenor2017/04/05.Form1.PushButton1_Click ";
inline constexpr char16_t PushButton2Click[] = u"in Travenor2017/04/05.Form1.PushButton2_Click ";
inline constexpr char16_t PushButton3Click[] = u"in Travenor2017/04/05.Form1.PushButton3_Click ";
inline constexpr char16_t PushButton4Click[] = u"in Travenor2017/04/05.Form1.PushButton4_Click ";
inline constexpr char16_t PushButton5Click[] = u"in Travenor2017/04/05.Form1.PushButton5_Click ";
inline constexpr char16_t PushButton6Click[] = u"in Travenor2017/04/05.Form1.PushButton6_Click ";
inline constexpr char16_t PushButton9Click[] = u"in Travenor2017/04/05.Form1.PushButton9_Click ";
} // namespace location

} // namespace quorvane::shell
