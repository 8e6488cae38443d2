#pragma once

#include <QWidget>

#include "model/app_state.h"

namespace nimbrel {

// Builds the view of a section afresh: Space, the Files shelves (inside the scan-required panel) or
// Deep Clean. A new view each time, so its view-local state starts from its defaults.
QWidget* makeAreaView(AppState& state, SidebarItem section, QWidget* parent = nullptr);

// The empty stand-in for an area view that is not built yet.
class AreaPlaceholder : public QWidget {
    Q_OBJECT
  public:
    explicit AreaPlaceholder(SidebarItem section, QWidget* parent = nullptr);
    SidebarItem section() const { return section_; }

  private:
    SidebarItem section_;
};

}  // namespace nimbrel
