#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "model/app_state.h"
#include "theme/animated_value.h"

namespace nimbrel {

// The main window's one modal layer: while the state holds a modal request it dims the whole window
// and shows exactly one card, chosen by a fixed precedence (review, confirmation, deletion failures,
// error notice). A click on the dimmed area outside the card drops every pending request and runs no
// action; each card otherwise clears its own request. Keeps no state beyond what it shows.
class ModalHost : public QWidget {
    Q_OBJECT
  public:
    enum class Card { none, review, confirm, failures, notice };

    static constexpr double kScrimOpacity = 0.32;
    static constexpr int kCardMargin = 16;  // above and below the card

    using ReviewCardFactory = std::function<QWidget*(AppState&)>;
    using FailureCardFactory = std::function<QWidget*(AppState&, const std::vector<DeletionFailure>&)>;
    // The review and failure cards belong to the shelves; until they are set, plain stand-ins that
    // only clear their own request are shown.
    static void setReviewCardFactory(ReviewCardFactory factory);
    static void setFailureCardFactory(FailureCardFactory factory);

    explicit ModalHost(AppState& state, QWidget* parent = nullptr);

    // The card the state asks for: the first request set, in precedence order.
    static Card choose(const AppState& state);
    static bool isPresented(const AppState& state) { return choose(state) != Card::none; }
    // Clears every modal request; touches nothing else (toast, removal, selection).
    static void dismiss(AppState& state);

    Card shownCard() const { return shown_; }
    QWidget* card() const { return card_; }
    // The card's frame in the host, as laid out.
    QRect cardRect() const;
    double presence() const { return presence_.value(); }

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void follow(Card changed);
    void rebuild(Card card);
    void layoutCard();
    void takeSnapshot();
    void presenceChanged(double value);

    AppState& state_;
    Card shown_ = Card::none;
    QPointer<QWidget> card_;
    AnimatedValue presence_{0};
    QPixmap snapshot_;  // the card as painted while it scales in or out
    QRect snapshotRect_;
    bool snapshotHasShadow_ = false;
    bool pressedOutside_ = false;
    bool dismissing_ = false;        // one change of card for the whole dismissal
    QPointer<QWidget> focusBefore_;  // where the keyboard focus goes back to when the layer leaves
};

}  // namespace nimbrel
