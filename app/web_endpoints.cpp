#include "app/web_endpoints.h"

namespace web {

QString host()
{
    return QStringLiteral(VENNALI_WEB_HOST);
}

QString homePageUrl()
{
    return QStringLiteral("http://%1/").arg(host());
}

QString homePageUrlWithoutSlash()
{
    return QStringLiteral("http://%1").arg(host());
}

QString linkListUrl()
{
    return QStringLiteral("http://%1/en/tangshi.php").arg(host());
}

QString mainStatsUrl()
{
    return QStringLiteral("http://%1/softtj.php?soft=qv740index&ref=shuoming").arg(host());
}

QString aboutStatsUrl()
{
    return QStringLiteral("http://%1/softtj.php?soft=qv740&ref=shuoming").arg(host());
}

} // namespace web
