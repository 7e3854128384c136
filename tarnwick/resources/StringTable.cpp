#include "tarnwick/resources/StringTable.h"

#include "tarnwick/resources/ServiceHost.h"

namespace tarnwick::resources {

namespace {

// Windows-1252: 0xFC is "ü", 0xE4 is "ä". Line 8 ends with a line feed alone
// and the last line has no line end, as the page has always been uploaded.
constexpr std::string_view kDefaultPage = "<html>\r\n"
                                          "<head>\r\n"
                                          "<title>VELT Tarnwick Umleitung</title>\r\n"
                                          "</head>\r\n"
                                          "<body>\r\n"
                                          "<H3>VELT Tarnwick leitet Sie zur richtigen Adresse um...</H3>\r\n"
                                          "<HR>\r\n"
                                          "<p>Wenn Ihr Browser keine Umleitung unterst\xFC"
                                          "tzt, klicken Sie bitte hier <a "
                                          "href=\"<velt-tarnwick-address>\">Umleitung</a></p>\n"
                                          "Falls die Umleitung fehlschl\xE4"
                                          "gt, versuchen Sie es bitte sp\xE4"
                                          "ter noch einmal...\r\n"
                                          "</body>\r\n"
                                          "</html>";

constexpr std::string_view kMetaRefresh = "<meta http-equiv=\"refresh\" content=\"0; URL=<velt-tarnwick-address>\">";

constexpr std::string_view kAspRedirect = "<%@LANGUAGE=VBScript\r\n"
                                          "@EnableSessionState=False%>\r\n"
                                          "<%Response.Redirect \"<velt-tarnwick-address>\"%>\r\n";

constexpr std::string_view kUploadStamp = "\r\n<meta name=\"uploaddate\" content=\"%s\">"
                                          "\r\n<meta name=\"uploader\" content=\"VELT Tarnwick %s\">";

} // namespace

std::string ClientIpUrlOf(std::string_view host)
{
    return "http://" + std::string(host) + "/Tarnwick/GetClientIP.asp?TextOnly=1";
}

std::string LoadString(uint32_t id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return "Inf&o über Tarnwick...";
    case IDS_CLIENT_IP_URL:
        return ClientIpUrlOf(ServiceHost());
    case IDS_FORUM_URL:
        return "http://" + ServiceHost() + "/forum/InfosListe.asp?ForumID=230301211234";
    case IDS_TIME_FORMAT:
        return "%Y-%m-%d %H:%M:%S";
    case IDS_VERSION:
        return "1.4.44";
    case IDS_DEFAULT_PAGE:
        return std::string(kDefaultPage);
    case IDS_META_REFRESH:
        return std::string(kMetaRefresh);
    case IDS_ASP_REDIRECT:
        return std::string(kAspRedirect);
    case IDS_TITLE:
        return "VELT Tarnwick";
    default:
        return {};
    }
}

std::string_view UploadStampFormat()
{
    return kUploadStamp;
}

} // namespace tarnwick::resources
