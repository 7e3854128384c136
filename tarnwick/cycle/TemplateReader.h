#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/StatusLine.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading the page template ("Vorlage") that the redirect page is filled from.
namespace tarnwick {

// Templates are cut here; the message says "20 KB" although the limit is 20000 bytes.
inline constexpr size_t kTemplateLimit = 20000;

struct TARNWICK_EXPORT TemplateText
{
    std::string text;
    std::vector<StatusLine> status;
};

// The file a template name refers to: empty for an empty name; a name without
// "/" is taken from programDirectory (which ends in "/"); a path stays as it is.
TARNWICK_EXPORT std::string TemplatePath(std::string_view uploadFile, std::string_view programDirectory);

// Reads at most kTemplateLimit bytes of path and cuts the text at its first
// zero byte. A file that cannot be opened gives an empty text silently; a
// longer file reports that it is cut; a failed read reports the reason and
// gives an empty text. Never blocks on special files (pipes, devices).
TARNWICK_EXPORT TemplateText ReadTemplate(const std::string& path);

} // namespace tarnwick
