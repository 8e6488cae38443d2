#pragma once

#include <QWidget>

#include "model/app_state.h"

class QStackedLayout;

namespace nimbrel {

class ElidedLabel;

// Wraps an area view that needs a scan result: the view itself once there is a result (also while a
// new scan runs), a progress panel during the first scan, and an invitation to scan before that.
class RequiresScan : public QWidget {
    Q_OBJECT
  public:
    enum class Showing { content, scanning, empty };

    // Takes ownership of `content`.
    RequiresScan(AppState& state, SidebarItem item, QWidget* content, QWidget* parent = nullptr);

    Showing showing() const { return showing_; }
    QWidget* content() const { return content_; }
    // Texts of the panel and the empty state as shown now.
    QString heading() const;
    QString counts() const;
    QString currentPath() const;
    QString emptyMessage() const;

  private:
    void followState();
    QWidget* buildPanel();
    QWidget* buildEmpty();

    AppState& state_;
    SidebarItem item_;
    QWidget* content_;
    QStackedLayout* stack_;
    QWidget* panel_;
    QWidget* empty_;
    ElidedLabel* heading_ = nullptr;
    ElidedLabel* counts_ = nullptr;
    ElidedLabel* path_ = nullptr;
    Showing showing_ = Showing::empty;
};

}  // namespace nimbrel
