#pragma once

#include <QWidget>
#include <functional>

#include "views/files/review_model.h"

namespace nimbrel {

class ElidedLabel;
class NimbrelCheck;

// One section's header in the review list: its tick (on while every item of the source is ticked),
// the source with its number of items, and the size of the ticked ones.
class ReviewSectionHeader : public QWidget {
    Q_OBJECT
  public:
    ReviewSectionHeader(CleanItem::Source source, std::function<void()> onTick, QWidget* parent = nullptr);
    CleanItem::Source source() const { return source_; }
    void showSection(const ReviewModel::Section& section);

  private:
    CleanItem::Source source_;
    NimbrelCheck* check_;
    ElidedLabel* label_;
    ElidedLabel* size_;
};

}  // namespace nimbrel
