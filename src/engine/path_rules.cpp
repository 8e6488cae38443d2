#include "engine/path_rules.h"

#include <pwd.h>

#include <vector>

namespace nimbrel {

namespace {

// "~name": that user's home folder, empty when the system knows no such user.
std::string homeOfUser(const std::string& user) {
    if (const passwd* pw = getpwnam(user.c_str()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

}  // namespace

std::string normalizePath(const std::string& path, const std::string& home) {
    std::string expanded = path;
    if (!path.empty() && path[0] == '~') {
        size_t slash = path.find('/');
        std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
        std::string base = user.empty() ? home : homeOfUser(user);
        if (!base.empty()) expanded = base + (slash == std::string::npos ? "" : path.substr(slash));
    }
    std::vector<std::string_view> kept;
    std::string_view rest(expanded);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    if (kept.empty()) return "/";
    std::string out;
    out.reserve(expanded.size() + 1);
    for (std::string_view part : kept) {
        out += '/';
        out += part;
    }
    return out;
}

bool PathRules::isInside(std::string_view path, std::string_view folder) {
    if (folder.empty()) return false;
    if (folder == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool PathRules::isAtOrInside(std::string_view path, std::string_view folder) {
    return path == folder || isInside(path, folder);
}

bool PathRules::isAtOrInsideAny(std::string_view path, const std::unordered_set<std::string>& folders) {
    if (folders.empty()) return false;
    std::string key(path);
    if (folders.count(key)) return true;
    for (size_t slash = key.rfind('/'); slash != std::string::npos; slash = key.rfind('/')) {
        key.resize(slash == 0 ? 1 : slash);
        if (folders.count(key)) return true;
        if (slash == 0) break;
    }
    return false;
}

bool PathRules::isNormalAbsolute(std::string_view path) {
    if (path.empty() || path[0] != '/') return false;
    if (path == "/") return true;
    if (path.back() == '/' || path.find('\0') != std::string_view::npos) return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string_view PathRules::lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/") return {};
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string PathRules::parent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string PathRules::tildeForm(std::string_view path, std::string_view home) {
    if (home.empty() || home == "/") return std::string(path);
    if (path == home) return "~";
    if (isInside(path, home)) return "~" + std::string(path.substr(home.size()));
    return std::string(path);
}

}  // namespace nimbrel
