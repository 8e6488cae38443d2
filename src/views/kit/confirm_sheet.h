#pragma once

#include "model/app_state.h"
#include "views/kit/sheet_card.h"

namespace nimbrel {

class NimbrelButton;
class PlainLabel;

// Asks before an action: the request's title and message, "Cancel" (Escape) and the request's action
// (Return). Both drop the request first, so whatever the action posts survives it.
class ConfirmSheet : public SheetCard {
    Q_OBJECT
  public:
    ConfirmSheet(AppState& state, ConfirmRequest request, QWidget* parent = nullptr);

    NimbrelButton* cancelButton() const { return cancel_; }
    NimbrelButton* actionButton() const { return action_; }
    PlainLabel* titleLabel() const { return title_; }
    PlainLabel* messageLabel() const { return message_; }

    void cancel();
    void confirm();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    AppState& state_;
    ConfirmRequest request_;
    PlainLabel* title_;
    PlainLabel* message_;
    NimbrelButton* cancel_;
    NimbrelButton* action_;
};

}  // namespace nimbrel
