#include "app/CommandLinePasswords.h"

#include <cstring>

namespace app {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isSecret(const char *key, int length)
{
    return (length == 8 && std::strncmp(key, "password", 8) == 0) || (length == 11 && std::strncmp(key, "sslpassword", 11) == 0);
}

void findInUri(const char *s, int start, QList<std::pair<int, int>> &found)
{
    const int n = int(std::strlen(s));
    // The authority runs to the first '/' or '?'; user information ends at an '@' within it.
    int end = start;
    while (end < n && s[end] != '/' && s[end] != '?')
        ++end;
    int at = start;
    while (at < end && s[at] != '@')
        ++at;
    if (at < end) {
        int colon = start;
        while (colon < at && s[colon] != ':')
            ++colon;
        if (colon < at && colon + 1 < at)
            found.append({colon + 1, at});
    }
    // Parameters: ?key=value&key=value …
    int q = end;
    while (q < n && s[q] != '?')
        ++q;
    for (int i = q + 1; i < n;) {
        int keyEnd = i;
        while (keyEnd < n && s[keyEnd] != '=' && s[keyEnd] != '&')
            ++keyEnd;
        int valueEnd = keyEnd;
        while (valueEnd < n && s[valueEnd] != '&')
            ++valueEnd;
        if (keyEnd < n && s[keyEnd] == '=' && isSecret(s + i, keyEnd - i) && valueEnd > keyEnd + 1)
            found.append({keyEnd + 1, valueEnd});
        i = valueEnd + 1;
    }
}

} // namespace

QList<std::pair<int, int>> CommandLinePasswords::find(const char *s)
{
    QList<std::pair<int, int>> found;
    if (!s)
        return found;
    for (const char *scheme : {"postgresql://", "postgres://"}) {
        if (std::strncmp(s, scheme, std::strlen(scheme)) == 0) {
            findInUri(s, int(std::strlen(scheme)), found);
            return found;
        }
    }
    // key = value pairs, read as libpq reads them.
    const int n = int(std::strlen(s));
    int i = 0;
    while (i < n) {
        while (i < n && isSpace(s[i]))
            ++i;
        const int keyStart = i;
        while (i < n && !isSpace(s[i]) && s[i] != '=')
            ++i;
        const int keyLength = i - keyStart;
        while (i < n && isSpace(s[i]))
            ++i;
        if (i >= n || s[i] != '=')
            break; // libpq refuses the rest; nothing of it is a value
        ++i;
        while (i < n && isSpace(s[i]))
            ++i;
        int valueStart = i, valueEnd = i;
        if (i < n && s[i] == '\'') {
            valueStart = ++i;
            while (i < n && s[i] != '\'') {
                if (s[i] == '\\' && i + 1 < n)
                    ++i;
                ++i;
            }
            valueEnd = i;
            if (i < n)
                ++i; // the closing quote
        } else {
            while (i < n && !isSpace(s[i])) {
                if (s[i] == '\\' && i + 1 < n)
                    ++i;
                ++i;
            }
            valueEnd = i;
        }
        if (isSecret(s + keyStart, keyLength) && valueEnd > valueStart)
            found.append({valueStart, valueEnd});
    }
    return found;
}

bool CommandLinePasswords::mask(int argc, char **argv)
{
    bool any = false;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--pg") != 0 && std::strcmp(argv[i], "--create-demo-pg") != 0)
            continue;
        char *value = argv[++i];
        for (const auto &[first, last] : find(value)) {
            std::memset(value + first, '*', std::size_t(last - first));
            any = true;
        }
    }
    return any;
}

QString CommandLinePasswords::warning()
{
    return QString::fromUtf8("连接串中的密码可被本机其他用户看到，不安全。请改用连接配置文件（--profile）和 ~/.pgpass。");
}

} // namespace app
