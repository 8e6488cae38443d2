#pragma once

#include "model/app_state.h"
#include "views/kit/sheet_card.h"

class QScrollArea;

namespace nimbrel {

class NimbrelButton;
class PlainLabel;

// Shows an error the user has to read, in a selectable text that scrolls past 200 points, and
// closes with "OK" (Return). Escape is deliberately not bound.
class NoticeSheet : public SheetCard {
    Q_OBJECT
  public:
    static constexpr int kMaxMessageHeight = 200;

    NoticeSheet(AppState& state, QString message, QWidget* parent = nullptr);

    NimbrelButton* okButton() const { return ok_; }
    PlainLabel* messageLabel() const { return message_; }
    QScrollArea* messageScroll() const { return scroll_; }

    void close();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    AppState& state_;
    PlainLabel* message_;
    QScrollArea* scroll_;
    NimbrelButton* ok_;
};

}  // namespace nimbrel
