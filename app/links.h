// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

class QWidget;

// The four addresses the windows link to. Until the project has a web site, each opens the
// README shipped with the program (a section of it where one fits), never a made-up domain.
namespace links {

inline constexpr char kProductPage[] = "#trimora";
inline constexpr char kHomePage[] = "";
inline constexpr char kUpdatePage[] = "#set-up-and-run-fresh-debian-12-as-root-or-with-sudo";
inline constexpr char kDonationPage[] = "";

// The README the program was installed with, or the one of its source tree, as a file URL
// with `fragment` (one of the constants above).
QUrl PageUrl(const char* fragment);
// Hands the page to the user's browser. Where nothing can open it (no browser), a message over
// `owner` gives its address to copy.
void OpenPage(QWidget* owner, const char* fragment);

}  // namespace links
