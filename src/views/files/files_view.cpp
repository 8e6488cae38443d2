#include "views/files/files_view.h"

#include <QVBoxLayout>

#include "views/kit/quick_preview.h"

namespace nimbrel {

FilesView::FilesView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    connect(&state_, &AppState::sectionChanged, this, &FilesView::showSection);
    showSection();
}

void FilesView::showSection() {
    const SidebarItem section = state_.section().value_or(SidebarItem::largest);
    const SidebarItem kind =
        section == SidebarItem::duplicates || section == SidebarItem::old ? section : SidebarItem::largest;
    if (shelf_ && shown_ == kind) return;
    shown_ = kind;
    if (shelf_) {
        shelf_->hide();
        shelf_->deleteLater();
    }
    PreviewAction preview = [this](const std::string& path) { setPreviewPath(path); };
    switch (kind) {
        case SidebarItem::duplicates:
            shelf_ = new TwinShelves(state_, preview, this);
            break;
        case SidebarItem::old:
            shelf_ = new ForgottenShelves(state_, preview, this);
            break;
        default:
            shelf_ = new BiggestShelves(state_, preview, this);
            break;
    }
    column_->addWidget(shelf_);
}

void FilesView::setPreviewPath(std::optional<std::string> path) {
    if (previewCard_) {
        previewCard_->hide();
        previewCard_->deleteLater();
        previewCard_ = nullptr;
    }
    preview_ = std::move(path);
    if (!preview_) return;
    previewCard_ = new QuickPreview(
        *preview_, [this] { setPreviewPath(std::nullopt); }, this, &state_.userPool());
    previewCard_->move((width() - previewCard_->width()) / 2, (height() - previewCard_->height()) / 2);
    previewCard_->show();
    previewCard_->raise();
    previewCard_->setFocus();
}

}  // namespace nimbrel
