#include "tarnwick/cycle/RedirectPageGenerator.h"

#include "platform/url/IpAddressText.h"
#include "tarnwick/cycle/TemplateReader.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/settings/CRedirectSettings.h"

#include <algorithm>

namespace tarnwick {

namespace res = tarnwick::resources;

namespace {

constexpr const char* kGeneratingText = "Umleitung wird erzeugt...";

// Replaces every occurrence, never looking into inserted text again; returns the count.
size_t ReplaceAll(std::string& text, std::string_view what, std::string_view with)
{
    size_t count = 0;
    size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::string::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
        ++count;
    }
    return count;
}

// Position just behind the first "<head>", else the first "<HEAD>"; npos without either.
size_t AfterHeadTag(const std::string& page)
{
    for (const std::string_view tag : {std::string_view("<head>"), std::string_view("<HEAD>")}) {
        const size_t pos = page.find(tag);
        if (pos != std::string::npos)
            return pos + tag.size();
    }
    return std::string::npos;
}

// A value inside HTML text or a quoted attribute.
std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A value inside the server-side script's quoted string: quotes doubled, and
// no "%>", which would end the script block there.
std::string ScriptStringEscaped(std::string_view text)
{
    std::string out(text);
    ReplaceAll(out, "\"", "\"\"");
    ReplaceAll(out, "%>", "%\" & \">");
    return out;
}

// A built-in text with its address placeholder filled.
std::string Filled(std::string text, std::string_view address)
{
    ReplaceAll(text, res::kAddressPlaceholder, address);
    return text;
}

std::string FormatLocalTime(std::time_t now)
{
    std::tm local {};
    if (!localtime_r(&now, &local))
        return {};
    char buffer[64] = {};
    const std::string format = res::LoadString(res::IDS_TIME_FORMAT);
    const size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &local);
    return std::string(buffer, length);
}

// The stamp format holds two "%s": time, then version.
std::string UploadStamp(std::time_t now, std::string_view version)
{
    std::string stamp(res::UploadStampFormat());
    const std::string values[] = {HtmlEscaped(FormatLocalTime(now)), HtmlEscaped(version)};
    size_t pos = 0;
    for (const std::string& value : values) {
        pos = stamp.find("%s", pos);
        if (pos == std::string::npos)
            break;
        stamp.replace(pos, 2, value);
        pos += value.size();
    }
    return stamp;
}

std::string ToLowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return text;
}

} // namespace

GeneratedPage GenerateRedirectPage(std::string_view templateText, CRedirectSettings& settings, std::time_t now,
                                   std::string_view version)
{
    GeneratedPage result;
    std::string& page = result.page;
    page.assign(templateText);
    const std::string address = settings.GetRedirectAddress();

    // The user's template gets the address as written; the built-in texts get
    // it escaped for where it stands, since it comes from the network.
    if (ReplaceAll(page, res::kAddressPlaceholder, address) == 0) {
        const std::string name = settings.GetPageFileName();
        result.status.push_back({StatusLine::Kind::Information, kGeneratingText});
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            const std::string htmlAddress = HtmlEscaped(address);
            if (AfterHeadTag(page) == std::string::npos)
                page = Filled(res::LoadString(res::IDS_DEFAULT_PAGE), htmlAddress);
            const size_t head = AfterHeadTag(page);
            if (head != std::string::npos)
                page.insert(head, "\r\n" + Filled(res::LoadString(res::IDS_META_REFRESH), htmlAddress));
            if (ToLowerAscii(name.substr(dot)) == ".asp")
                page.insert(0, Filled(res::LoadString(res::IDS_ASP_REDIRECT), ScriptStringEscaped(address)));
        }
    }

    const size_t head = AfterHeadTag(page);
    if (head != std::string::npos)
        page.insert(head, UploadStamp(now, version));

    ReplaceAll(page, res::kIpAddressOnlyPlaceholder, platform::CanonicalAddress(settings.GetLocalServerName()));
    return result;
}

GeneratedPage GenerateRedirectPage(CRedirectSettings& settings, std::string_view programDirectory, std::time_t now,
                                   std::string_view version)
{
    TemplateText templ = ReadTemplate(TemplatePath(settings.GetUploadFile(), programDirectory));
    GeneratedPage result = GenerateRedirectPage(templ.text, settings, now, version);
    templ.status.insert(templ.status.end(), result.status.begin(), result.status.end());
    result.status = std::move(templ.status);
    return result;
}

} // namespace tarnwick
