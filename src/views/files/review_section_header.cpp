#include "views/files/review_section_header.h"

#include <QHBoxLayout>

#include "theme/chip.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "views/kit/elided_label.h"
#include "views/kit/plain_label.h"

namespace nimbrel {

namespace {

QFont tracked(double size, FontWeight weight, double tracking) {
    QFont f = Fonts::font(size, weight);
    f.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return f;
}

}  // namespace

ReviewSectionHeader::ReviewSectionHeader(CleanItem::Source source, std::function<void()> onTick,
                                         QWidget* parent)
    : QWidget(parent), source_(source) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);
    check_ = new NimbrelCheck(true, this);
    connect(check_, &NimbrelCheck::toggleRequested, this, [onTick = std::move(onTick)] { onTick(); });
    row->addWidget(check_);
    label_ = new ElidedLabel(this);
    label_->setFont(tracked(10.5, FontWeight::heavy, 1.4));
    label_->setFixedDigits(true);
    label_->setColor([](const QWidget*) { return Room::burnDim(); });
    row->addWidget(label_);
    row->addStretch(1);
    size_ = new ElidedLabel(this);
    size_->setFont(Fonts::font(12, FontWeight::semibold, FontDesign::rounded));
    size_->setColor(shownColor(Palette::ink2()));
    size_->setFixedDigits(true);
    row->addWidget(size_);
}

void ReviewSectionHeader::showSection(const ReviewModel::Section& section) {
    check_->setOn(section.allTicked());
    label_->setText(ReviewModel::sectionTitle(source_, section.count));
    check_->setAccessibleName(label_->text());
    size_->setText(Fmt::bytes(section.tickedSize));
}

}  // namespace nimbrel
