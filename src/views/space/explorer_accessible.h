#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace nimbrel {

// The painted tiles as accessibility elements: one button per visible entry tile, named by the
// entry, described by its tooltip, with the hint and the select or deselect action the tile offers.
// Installed once; it answers only for the explorer's viewport.
namespace ExplorerAccessible {
void install();
QAccessibleInterface* factory(const QString& className, QObject* object);
}  // namespace ExplorerAccessible

}  // namespace nimbrel
