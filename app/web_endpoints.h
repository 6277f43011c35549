#pragma once
// The addresses on the maker's web site. All share one host, chosen when the
// program is configured (VENNALI_WEB_HOST).

#include <QString>

namespace web {

QString host();
// The site root, "http://<host>/".
QString homePageUrl();
// The rotator starts out pointing at the root without its trailing slash.
QString homePageUrlWithoutSlash();
// The list of captions and addresses that the status bar cycles through.
QString linkListUrl();
// Statistics page loaded into the main window's hidden web view.
QString mainStatsUrl();
// Statistics page shown in the About dialog.
QString aboutStatsUrl();

} // namespace web
