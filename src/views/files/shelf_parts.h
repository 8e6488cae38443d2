#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <string>

#include "views/kit/plain_label.h"

class QWidget;

namespace nimbrel {

class Clock;

// Opens the quick preview of a file (the Files area shows one at a time).
using PreviewAction = std::function<void(const std::string& path)>;

// What the Files area's shelves share.
namespace ShelfParts {

constexpr int kSide = 32;    // the shelves' inset on either side
constexpr int kBottom = 96;  // room below a shelf list's last card

// The clock's date as the relative dates and the cutoff read it.
QDateTime dateOf(const Clock& clock);

}  // namespace ShelfParts

}  // namespace nimbrel
