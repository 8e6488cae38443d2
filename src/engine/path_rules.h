#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace nimbrel {

// Lexical path normaliser shared by every comparison of paths: expands a leading "~" (with the given
// home) or "~user", drops empty and "." parts, lets ".." remove the previous part, never climbs above
// "/", and returns an absolute path. Nothing on disk is consulted; links are not resolved.
std::string normalizePath(const std::string& path, const std::string& home);

// The one set of rules for reading and comparing paths as bytes. Every function is lexical: nothing
// on disk is consulted. Folder tests work on whole components, so "/a/bc" is not inside "/a/b", and
// "/" holds every other absolute path.
struct PathRules {
    // True when `path` lies strictly below `folder`.
    static bool isInside(std::string_view path, std::string_view folder);
    // True when `path` is `folder` or lies below it.
    static bool isAtOrInside(std::string_view path, std::string_view folder);
    // True when `path` is one of `folders` or lies below one of them.
    static bool isAtOrInsideAny(std::string_view path, const std::unordered_set<std::string>& folders);

    // True when `path` is absolute and already in the form normalizePath gives (no empty, "." or
    // ".." parts, no trailing "/" except "/" itself) and holds no NUL byte.
    static bool isNormalAbsolute(std::string_view path);

    // The last component, a trailing "/" ignored: "/a/b" -> "b", "/a/b/" -> "b", "a" -> "a", "/" -> "".
    static std::string_view lastComponent(std::string_view path);
    // The path without its last component: "/a/b" -> "/a", "/a" -> "/", "/" -> "/", "a" -> "".
    static std::string parent(std::string_view path);
    // The path with the home folder written as "~" at a component boundary ("/home/u/x" -> "~/x",
    // "/home/uv" unchanged). A home of "/" or "" abbreviates nothing.
    static std::string tildeForm(std::string_view path, std::string_view home);
};

}  // namespace nimbrel
