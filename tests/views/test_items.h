#pragma once

#include <cstdint>
#include <string>

#include "engine/file_item.h"
#include "model/clean_item.h"

namespace nimbrel {

// A selected file (or, with `kind`, folder) at `path`, named by its last component.
inline CleanItem testItem(const std::string& path, int64_t size, CleanItem::Kind kind = CleanItem::Kind::file,
                          CleanItem::Source source = CleanItem::Source::files) {
    CleanItem item;
    item.id = path;
    item.name = path.substr(path.find_last_of('/') + 1);
    item.size = size;
    item.kind = kind;
    item.symbolPath = path;
    item.source = source;
    return item;
}

// A scanned file at `path`, named by its last component.
inline FileItem testFile(int64_t id, const std::string& path, int64_t size) {
    FileItem f;
    f.id = id;
    f.path = path;
    f.name = path.substr(path.find_last_of('/') + 1);
    f.size = size;
    return f;
}

// A Deep Clean location in the selection as a whole ("junk:<key>"); a heat of 1 marks it safe.
inline CleanItem testJunkItem(const std::string& key, const std::string& name, int64_t size,
                              double heat = 1.0) {
    CleanItem item;
    item.id = "junk:" + key;
    item.name = name;
    item.size = size;
    item.kind = CleanItem::Kind::junk;
    item.heat = heat;
    item.source = CleanItem::Source::deepClean;
    return item;
}

}  // namespace nimbrel
