#include "views/kit/confirm_sheet.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "theme/logo.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/typo.h"
#include "views/kit/plain_label.h"

namespace nimbrel {

ConfirmSheet::ConfirmSheet(AppState& state, ConfirmRequest request, QWidget* parent)
    : SheetCard(parent), state_(state), request_(std::move(request)) {
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new NimbrelLogo(34, this), 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    title_ = new PlainLabel(
        request_.title, Fonts::font(20, FontWeight::heavy, FontDesign::rounded),
        [](const QWidget* w) { return Palette::ink().resolve(w); }, this);
    title_->setWordWrap(true);
    message_ = new PlainLabel(
        request_.message, Fonts::font(12.5), [](const QWidget* w) { return Palette::ink2().resolve(w); },
        this);
    message_->setWordWrap(true);
    column->addWidget(title_);
    column->addWidget(message_);
    header->addLayout(column, 1);
    addRow(header);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new NimbrelButton(tr("Cancel"), NimbrelButton::Kind::ghost, NimbrelButton::Size::regular, this);
    action_ =
        new NimbrelButton(request_.actionTitle,
                          request_.destructive ? NimbrelButton::Kind::danger : NimbrelButton::Kind::primary,
                          NimbrelButton::Size::regular, this);
    buttons->addWidget(cancel_);
    buttons->addWidget(action_);
    addRow(buttons);

    connect(cancel_, &QAbstractButton::clicked, this, &ConfirmSheet::cancel);
    connect(action_, &QAbstractButton::clicked, this, &ConfirmSheet::confirm);
}

void ConfirmSheet::cancel() {
    state_.setConfirm(std::nullopt);
}

void ConfirmSheet::confirm() {
    // The host may delete this card as soon as the request is cleared: keep what is needed first.
    auto perform = request_.perform;
    state_.setConfirm(std::nullopt);
    if (perform) perform();
}

void ConfirmSheet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            confirm();
            return;
        case Qt::Key_Escape:
            cancel();
            return;
        default:
            SheetCard::keyPressEvent(event);
    }
}

}  // namespace nimbrel
