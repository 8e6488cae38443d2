#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "model/app_state.h"
#include "views/files/biggest_shelves.h"
#include "views/files/file_list_body.h"
#include "views/files/forgotten_shelves.h"
#include "views/files/shelf_parts.h"
#include "views/files/twin_shelves.h"

class QVBoxLayout;

namespace nimbrel {

// The Files area: the shelf of the selected section (Biggest, Forgotten or Twins), built afresh on
// every change of section, and the one preview the shelves open.
class FilesView : public QWidget {
    Q_OBJECT
  public:
    explicit FilesView(AppState& state, QWidget* parent = nullptr);
    QWidget* shelf() const { return shelf_; }
    const std::optional<std::string>& previewPath() const { return preview_; }
    void setPreviewPath(std::optional<std::string> path);

  private:
    void showSection();

    AppState& state_;
    QVBoxLayout* column_;
    QWidget* shelf_ = nullptr;
    std::optional<SidebarItem> shown_;
    std::optional<std::string> preview_;
    QWidget* previewCard_ = nullptr;
};

}  // namespace nimbrel
