#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
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
//
// While it is presented it keeps a picture of what lies beneath it (its siblings below it), brought
// up to date when the event loop is idle wherever a repaint showed that something there changed.
// While it leaves, that picture is drawn instead of the window repainting everything beneath it on
// every frame, and items that start to evaporate meanwhile wait until the layer is gone.
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

    // How long after the last change beneath the picture of it is brought up to date, and how much
    // of one turn of the event loop that may take before it goes on in the next.
    static constexpr int kRefreshDelayMs = 120;
    static constexpr int kRefreshTurnMs = 6;
    // A layer that left over its picture gives the window back in bands, one a frame, bottom first.
    static constexpr int kUncoverBands = 3;
    static constexpr int kUncoverStepMs = 16;

    explicit ModalHost(AppState& state, QWidget* parent = nullptr);
    ~ModalHost() override;

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
    // The running transition, so tests can sample it.
    AnimatedValue& presenceAnimation() { return presence_; }

    // What lies beneath the layer as last rendered, and the parts of it that may have changed since.
    const QImage& underlay() const { return underlay_; }
    const QRegion& staleUnderlay() const { return stale_; }
    // Whether every part of the picture was rendered at least once (its first rendering is spread
    // over a few idle turns).
    bool underlayComplete() const { return !underlay_.isNull() && unrendered_.isEmpty(); }
    // Whether the transition shows the picture instead of letting the window paint beneath.
    bool drawsUnderlay() const { return drawsUnderlay_; }

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
    // Takes the card shown away; returns where it covered the layer opaquely if the layer leaves.
    QRegion dropCard(Card want);
    // The layer leaves, or shows `card`.
    void leave(bool wasPresented, const QRegion& hiddenByCard);
    void present(QWidget* card, bool wasPresented);
    // The card the request asks for, built from the state (none for Card::none).
    QWidget* makeCard(Card card);
    void layoutCard();
    void takeSnapshot();
    void drawSnapshotBase();
    void presenceChanged(double value);
    bool underlayFresh() const;
    bool canRenderUnderlay() const;
    bool renderStale(int budgetMs);
    static QRect shadowFrame(const QRect& card);
    QRegion opaqueOnCard() const;
    void renderBeneath(QPainter& p, const QRegion& region);
    void setDrawsUnderlay(bool draws);
    void holdItemStarts(bool hold);
    void uncoverStep();
    void stopUncovering();
    void finishLeaving();

    AppState& state_;
    Card shown_ = Card::none;
    QPointer<QWidget> card_;
    AnimatedValue presence_{0};
    // The card with its shadow, painted once, as drawn while it scales in or out (kept while the
    // card stays); where its picture sits at full size, and the card's frame.
    QImage snapshot_;
    bool snapshotShown_ = false;
    QRect snapshotBase_;  // the card's frame the shadow in snapshot_ was drawn for
    QPointF snapshotAt_;
    QRect snapshotRect_;
    QImage underlay_;
    QRegion stale_;
    QRegion unrendered_;  // of a picture just made: still blank, its memory never touched
    QTimer refresh_;
    QTimer uncover_;
    int uncovered_ = 0;         // bands given back so far
    bool uncovering_ = false;   // the layer is resizing itself to give one back
    QElapsedTimer staleSince_;  // since the picture was last up to date
    bool drawsUnderlay_ = false;
    bool holdsStarts_ = false;
    bool pressedOutside_ = false;
    bool dismissing_ = false;        // one change of card for the whole dismissal
    QPointer<QWidget> focusBefore_;  // where the keyboard focus goes back to when the layer leaves
};

}  // namespace nimbrel
