#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading Kestrup's command line and the version text: keys are found as
// plain substrings anywhere, in any letter case, and the value is read from
// the original text behind the key.
namespace kestrup {

// The command line as one text: the arguments joined by blanks. A shell has
// already removed the quotes of pr="VELT Tarnwick"; an argument key=value
// whose value holds a blank and no quote gets them back (key="value"), so
// that the title reads the same as when the quotes arrive.
std::string JoinArguments(const std::vector<std::string>& args);

// The value of key (lower case, e.g. "pr=") in the command line: behind the
// key's first occurrence, without surrounding white space; between double
// quotes when the text starts with one and another follows, else up to the
// first blank.
std::string GetArgument(std::string_view commandLine, std::string_view key);

// The value of key in a text: behind the key's first occurrence, without
// surrounding white space, up to the first "\r\n", else the first "\n".
std::string GetTextValue(std::string_view text, std::string_view key);

// A package name without "/" lies in the program directory.
std::string CompleteMsiFile(const std::string& value, const std::string& programDir);

// A server path without "://" lies on the maker's update server.
std::string CompleteMsiDownloadUrl(const std::string& value, std::string_view host);

// The version text's path beside a package path: the part up to the last dot
// with ".txt", when that dot is not the first character; else unchanged.
std::string VersionTextPath(const std::string& objectPath);

} // namespace kestrup
