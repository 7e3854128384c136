#include "platform/internet/InternetCheckConnection.h"

#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"

namespace platform {

bool InternetCheckConnection(const std::string& url, uint32_t, InternetError& error)
{
    try {
        InternetSession session("", 0, INTERNET_FLAG_DONT_CACHE);
        if (!session.IsValid()) {
            error = {ERROR_INTERNET_INTERNAL_ERROR, InternetErrorText(ERROR_INTERNET_INTERNAL_ERROR)};
            return false;
        }
        return session.CheckConnection(url, error);
    } catch (...) {
        error = {ERROR_NOT_ENOUGH_MEMORY, InternetErrorText(ERROR_NOT_ENOUGH_MEMORY)};
        return false;
    }
}

} // namespace platform
