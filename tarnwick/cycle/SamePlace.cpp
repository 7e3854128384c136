#include "tarnwick/cycle/SamePlace.h"

#include "platform/url/InternetUrl.h"
#include "platform/url/IpAddressText.h"

#include <algorithm>

namespace tarnwick {

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

bool IsSamePlace(std::string_view target, std::string_view redirectAddress)
{
    if (target.empty() || redirectAddress.empty())
        return false;
    platform::InternetUrl first;
    platform::InternetUrl second;
    if (!platform::ParseInternetUrl(target, first) || !platform::ParseInternetUrl(redirectAddress, second))
        return false;
    return first.serviceType == second.serviceType
        && EqualIgnoringCase(platform::CanonicalAddress(first.server), platform::CanonicalAddress(second.server))
        && EqualIgnoringCase(first.object, second.object) && first.port == second.port;
}

} // namespace tarnwick
