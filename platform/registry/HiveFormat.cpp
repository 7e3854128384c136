#include "platform/registry/HiveFormat.h"

#include "platform/registry/Registry.h"
#include "platform/system/HexDigits.h"
#include "platform/system/Utf8.h"

#include <cstdio>
#include <vector>

namespace platform::registry {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (size_t pos = 0; pos < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c >= 0x80) {
            size_t length = Utf8SequenceLength(text, pos);
            if (length > 0) {
                out.append(text.substr(pos, length));
                pos += length;
                continue;
            }
        }
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out += kHexDigits[c >> 4];
                out += kHexDigits[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++pos;
    }
    out += '"';
}

void AppendValues(std::string& out, const HiveKey& key)
{
    for (const HiveValue& value : key.values()) {
        if (value.name.empty())
            out += '@';
        else
            AppendQuoted(out, value.name);
        out += '=';
        if (value.type == REG_DWORD) {
            char number[16];
            std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(value.number));
            out += number;
        } else {
            AppendQuoted(out, value.text);
        }
        out += '\n';
    }
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Reads a quoted string at the start of text; rest is what follows it.
bool ReadQuoted(std::string_view text, std::string& out, std::string_view& rest)
{
    if (text.empty() || text.front() != '"')
        return false;
    out.clear();
    for (size_t pos = 1; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            rest = text.substr(pos + 1);
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= text.size())
            return false;
        switch (text[pos]) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            if (pos + 2 >= text.size())
                return false;
            int high = HexDigitValue(text[pos + 1]);
            int low = HexDigitValue(text[pos + 2]);
            if (high < 0 || low < 0 || (high == 0 && low == 0))
                return false;
            out += static_cast<char>(high * 16 + low);
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool ReadDword(std::string_view text, uint32_t& number)
{
    constexpr std::string_view prefix = "dword:";
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return text.size() <= 8 && ParseHexDigits(text, &number);
}

// The key of a section header, created when missing; nullptr with *problem
// when the path goes beyond a bound.
HiveKey* SectionKey(HiveKey& root, std::string_view path, const char** problem)
{
    HiveKey* key = &root;
    size_t depth = 0;
    while (!path.empty()) {
        size_t slash = path.find('\\');
        std::string_view step = path.substr(0, slash);
        if (!step.empty()) {
            if (++depth > kMaxHiveDepth) {
                *problem = "der Schlüssel ist zu tief verschachtelt";
                return nullptr;
            }
            HiveKey& parent = *key;
            key = &parent.addSubkey(step);
            if (parent.subkeys().size() > kMaxHiveEntries) {
                *problem = "zu viele Unterschlüssel in einem Schlüssel";
                return nullptr;
            }
        }
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return key;
}

bool Failure(std::string* error, size_t line, const char* what)
{
    if (error)
        *error = "Zeile " + std::to_string(line) + ": " + what;
    return false;
}

} // namespace

std::string SerializeHive(const HiveKey& root)
{
    std::string out = "; VELT registry (UTF-8). Written by the programs; edit only while none of them runs.\n";
    AppendValues(out, root);
    // Depth first in creation order, without recursion.
    struct Pending
    {
        const HiveKey* key;
        std::string path;
    };
    std::vector<Pending> stack;
    const auto pushChildren = [&stack](const HiveKey& key, const std::string& path) {
        for (auto it = key.subkeys().rbegin(); it != key.subkeys().rend(); ++it)
            stack.push_back({it->get(), path.empty() ? (*it)->name() : path + "\\" + (*it)->name()});
    };
    pushChildren(root, {});
    while (!stack.empty()) {
        Pending next = std::move(stack.back());
        stack.pop_back();
        out += "\n[";
        out += next.path;
        out += "]\n";
        AppendValues(out, *next.key);
        pushChildren(*next.key, next.path);
    }
    return out;
}

bool ParseHive(std::string_view text, HiveKey& root, std::string* error)
{
    if (text.size() > kMaxHiveSize)
        return Failure(error, 0, "die Datei ist größer als 64 MiB");
    // What some editors put in front of UTF-8 text.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (text.find('\0') != std::string_view::npos)
        return Failure(error, 0, "die Datei enthält Nullbytes");
    if (!IsValidUtf8(text))
        return Failure(error, 0, "die Datei ist kein UTF-8-Text");
    // Every line the programs write ends with a line break, so a last line
    // without one means the file was cut off.
    if (!text.empty() && text.back() != '\n')
        return Failure(error, 0, "die letzte Zeile ist unvollständig (Datei abgeschnitten)");

    HiveKey* key = &root;
    size_t lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        if ((end == std::string_view::npos ? text.size() : end) > kMaxHiveLine)
            return Failure(error, lineNumber + 1, "die Zeile ist länger als 5 MiB");
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2)
                return Failure(error, lineNumber, "Abschnittskopf ohne \"]\"");
            std::string_view path = line.substr(1, line.size() - 2);
            for (char c : path) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    return Failure(error, lineNumber, "Steuerzeichen im Schlüsselnamen");
            }
            const char* problem = nullptr;
            key = SectionKey(root, path, &problem);
            if (key == nullptr)
                return Failure(error, lineNumber, problem);
            continue;
        }
        HiveValue value;
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);
        } else if (!ReadQuoted(line, value.name, rest)) {
            return Failure(error, lineNumber, "ungültiger Wertname");
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=')
            return Failure(error, lineNumber, "\"=\" fehlt");
        rest = Trim(rest.substr(1));
        std::string_view after;
        if (!rest.empty() && rest.front() == '"') {
            value.type = REG_SZ;
            if (!ReadQuoted(rest, value.text, after) || !Trim(after).empty())
                return Failure(error, lineNumber, "ungültige oder nicht abgeschlossene Zeichenkette");
        } else if (ReadDword(rest, value.number)) {
            value.type = REG_DWORD;
        } else {
            return Failure(error, lineNumber, "unbekannter Werttyp");
        }
        key->setValue(std::move(value));
        if (key->values().size() > kMaxHiveEntries)
            return Failure(error, lineNumber, "zu viele Werte in einem Schlüssel");
    }
    return true;
}

} // namespace platform::registry
