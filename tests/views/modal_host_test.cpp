#include "views/kit/modal_host.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "layer_window.h"
#include "theme/evaporate_effect.h"
#include "theme/nimbrel_button.h"
#include "views/kit/confirm_sheet.h"
#include "views/kit/notice_sheet.h"
#include "views/kit/plain_label.h"

namespace nimbrel {
namespace {

using Card = ModalHost::Card;

struct ModalWindow : testing::LayerWindow<ModalHost> {
    ModalHost* host = layer;

    ModalWindow() : LayerWindow({1000, 760}) { content->setGeometry(10, 10, 200, 40); }

    void clickScrim() { QTest::mouseClick(host, Qt::LeftButton, {}, QPoint(20, 20)); }
    void clickCard() { QTest::mouseClick(host, Qt::LeftButton, {}, host->cardRect().center()); }
    ConfirmSheet* confirmCard() const { return qobject_cast<ConfirmSheet*>(host->card()); }
    NoticeSheet* noticeCard() const { return qobject_cast<NoticeSheet*>(host->card()); }
};

ConfirmRequest request(const QString& title, std::function<void()> perform = {}, bool destructive = false) {
    ConfirmRequest r;
    r.title = title;
    r.message = QStringLiteral("Message of ") + title;
    r.actionTitle = QStringLiteral("Go");
    r.destructive = destructive;
    r.perform = std::move(perform);
    return r;
}

TEST(ModalHostTest, ShowsTheFirstRequestInPrecedenceOrder) {
    struct Row {
        bool reviewing;
        bool confirm;
        std::optional<std::vector<DeletionFailure>> failures;
        bool error;
        Card expected;
    };
    const std::vector<DeletionFailure> none;
    const Row rows[] = {
        {false, false, std::nullopt, false, Card::none},
        {true, true, none, true, Card::review},
        {false, true, none, true, Card::confirm},
        {false, false, none, true, Card::failures},  // an empty list still counts
        {false, false, std::nullopt, true, Card::notice},
        {true, false, std::nullopt, false, Card::review},
    };
    for (const Row& row : rows) {
        ModalWindow w;
        w.state.setIsReviewing(row.reviewing);
        if (row.confirm) w.state.setConfirm(request(QStringLiteral("Sure?")));
        w.state.setDeletionFailures(row.failures);
        if (row.error) w.state.setErrorMessage(QStringLiteral("Broken"));
        SCOPED_TRACE(int(row.expected));
        EXPECT_EQ(ModalHost::choose(w.state), row.expected);
        EXPECT_EQ(w.host->shownCard(), row.expected);
        EXPECT_EQ(w.host->isVisible(), row.expected != Card::none);
        EXPECT_EQ(w.host->card() != nullptr, row.expected != Card::none);
        EXPECT_EQ(w.confirmCard() != nullptr, row.expected == Card::confirm);
        EXPECT_EQ(w.noticeCard() != nullptr, row.expected == Card::notice);
    }
}

TEST(ModalHostTest, TheNextRequestTakesOverAndTheScrimClearsThemAll) {
    ModalWindow w;
    w.content->setFocus();
    w.state.setErrorMessage(QStringLiteral("Couldn't scan ~/x."));
    w.state.setIsReviewing(true);
    EXPECT_EQ(w.host->shownCard(), Card::review);
    // The review's own Cancel reveals the waiting notice.
    w.state.setIsReviewing(false);
    EXPECT_EQ(w.host->shownCard(), Card::notice);

    w.state.setIsReviewing(true);
    w.state.setDeletionFailures(std::vector<DeletionFailure>{});
    w.state.setConfirm(request(QStringLiteral("Empty?")));
    w.state.setToast(Toast(QStringLiteral("Copied"), QStringLiteral("doc.on.doc.fill")));
    w.state.setIsDeleting(true);
    w.clickScrim();
    EXPECT_FALSE(w.state.isReviewing());
    EXPECT_FALSE(w.state.confirm());
    EXPECT_FALSE(w.state.deletionFailures());
    EXPECT_FALSE(w.state.errorMessage());
    EXPECT_EQ(w.host->shownCard(), Card::none);
    EXPECT_FALSE(w.host->isVisible());
    // Nothing outside the modal requests is touched.
    EXPECT_TRUE(w.state.toast());
    EXPECT_TRUE(w.state.isDeleting());
    // The focus goes back where it was, not to some button of the window.
    EXPECT_EQ(w.window.focusWidget(), w.content);
    // With nothing to show, clicks reach the window's content again.
    EXPECT_EQ(w.window.childAt(20, 20), w.content);
}

TEST(ModalHostTest, OnlyTheScrimDismissesAndItNeverRunsTheAction) {
    ModalWindow w;
    int performed = 0;
    w.state.setConfirm(request(QStringLiteral("Empty the Trash?"), [&] { ++performed; }));
    ASSERT_TRUE(w.confirmCard());
    EXPECT_EQ(w.window.childAt(20, 20), w.host);  // the dimmed window takes the click
    w.clickCard();
    EXPECT_EQ(w.host->shownCard(), Card::confirm);
    w.clickScrim();
    EXPECT_EQ(w.host->shownCard(), Card::none);
    EXPECT_EQ(performed, 0);
}

// A confirmation asked over the failures, or an error met while one is asked, shows first; once
// it is answered, by a key or by its button, the card waiting behind it comes back.
TEST(ModalHostTest, AnAnsweredConfirmationBringsBackTheCardBehindIt) {
    const QString error = QStringLiteral("The Trash couldn't be emptied.");
    for (bool failuresFirst : {true, false}) {
        SCOPED_TRACE(failuresFirst ? "failures, then a confirmation" : "a confirmation, then an error");
        ModalWindow w;
        if (failuresFirst) w.state.setDeletionFailures(std::vector<DeletionFailure>{});
        w.state.setConfirm(request(QStringLiteral("Sure?")));
        if (!failuresFirst) w.state.setErrorMessage(error);
        EXPECT_EQ(w.host->shownCard(), Card::confirm);
        ASSERT_TRUE(w.confirmCard());
        if (failuresFirst)
            QTest::keyClick(w.confirmCard(), Qt::Key_Escape);
        else
            QTest::mouseClick(w.confirmCard()->cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(w.state.confirm());
        ASSERT_EQ(w.host->shownCard(), failuresFirst ? Card::failures : Card::notice);
        if (!failuresFirst) {
            EXPECT_EQ(w.noticeCard()->messageLabel()->text(), error);
        }
    }
}

TEST(ModalHostTest, ALayerPlacedLaterShowsOnlyWithARequest) {
    // The window builds the layer first and then hands it to its content, which reparents it.
    for (bool pending : {false, true}) {
        ModalWindow w;
        if (pending) w.state.setConfirm(request(QStringLiteral("Sure?")));
        auto* later = new ModalHost(w.state);
        EXPECT_FALSE(later->isWindow() && later->isVisible());
        later->setParent(&w.window);
        later->setGeometry(w.window.rect());
        EXPECT_EQ(later->isVisible(), pending);
        EXPECT_EQ(later->cardRect().width(), pending ? SheetCard::kWidth : 0);
    }
}

// A widget beneath the layer: one colour, and how often it was painted.
class Patch : public QWidget {
  public:
    Patch(QColor color, QRect frame, QWidget* parent) : QWidget(parent), color(color) { setGeometry(frame); }
    QColor color;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), color);
    }
};

// The layer over a window with real animations, stepped by hand.
struct UnderlayWindow {
    testing::ShellState shell;
    AppState& state = *shell.state;
    QWidget window;
    Patch* ground = new Patch(Qt::darkBlue, {0, 0, 1000, 760}, &window);
    Patch* underCard = new Patch(Qt::darkGreen, {470, 350, 40, 30}, &window);  // beneath the card
    Patch* aside = new Patch(Qt::darkYellow, {37, 23, 51, 41}, &window);       // clear of it
    ModalHost* host = new ModalHost(state, &window);

    UnderlayWindow() {
        window.resize(1000, 760);
        host->setGeometry(window.rect());
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QVariantAnimation& presence() { return host->presenceAnimation().animation(); }
    // The transition held where it is, then moved to `ms` and painted.
    void stepTo(int ms) {
        presence().pause();
        presence().setCurrentTime(ms);
        QCoreApplication::processEvents();
    }
    void open() {
        state.setConfirm(request(QStringLiteral("Sure?")));
        stepTo(presence().duration());
        ASSERT_EQ(host->presence(), 1);
    }
    bool pictureFresh() {
        QCoreApplication::processEvents();
        return host->underlayComplete() && host->staleUnderlay().isEmpty();
    }
    // What lies beneath the layer, rendered whole.
    QImage beneath() const {
        QImage image(host->underlay().size(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(host->underlay().devicePixelRatio());
        QPainter p(&image);
        for (QWidget* w : std::initializer_list<QWidget*>{ground, underCard, aside})
            w->render(&p, w->pos());
        return image;
    }
};

// The picture of what is beneath is brought up to date where something changed while the layer
// was presented, beneath the card or clear of it, in colour or in place.
TEST(ModalHostTest, ThePictureBeneathFollowsWhatChangesThere) {
    UnderlayWindow w;
    w.open();
    QTRY_VERIFY(w.pictureFresh());
    EXPECT_EQ(w.host->underlay(), w.beneath());

    w.underCard->color = Qt::red;
    w.underCard->update();
    w.aside->color = Qt::magenta;
    w.aside->move(301, 77);
    QTRY_VERIFY(w.pictureFresh());
    EXPECT_EQ(w.host->underlay(), w.beneath());

    // Where the card paints opaque, a change beneath repaints nothing of the layer: the picture
    // the leave starts from has it all the same.
    QWidget* card = w.host->card();
    auto* cover = new Patch(Qt::white, {card->mapFrom(w.host, QPoint(460, 340)), QSize(60, 50)}, card);
    cover->setAttribute(Qt::WA_OpaquePaintEvent);
    cover->show();
    QTRY_VERIFY(w.pictureFresh());
    w.underCard->color = Qt::cyan;
    w.underCard->update();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.host->staleUnderlay().isEmpty());
    w.state.setConfirm(std::nullopt);
    ASSERT_TRUE(w.host->drawsUnderlay());
    EXPECT_EQ(w.host->underlay(), w.beneath());
}

// While the layer leaves over its picture, the window repaints nothing beneath it, even where
// something beneath changes; once it is gone, everything shows as it is.
TEST(ModalHostTest, TheLeaveRepaintsNothingBeneath) {
    for (bool pictured : {true, false}) {
        SCOPED_TRACE(pictured ? "picture ready" : "dismissed before the picture was taken");
        UnderlayWindow w;
        w.open();
        if (pictured) QTRY_VERIFY(w.pictureFresh());
        const int ground = w.ground->paints;
        const int underCard = w.underCard->paints;
        w.state.setConfirm(std::nullopt);
        EXPECT_EQ(w.host->drawsUnderlay(), pictured);
        EXPECT_EQ(w.host->testAttribute(Qt::WA_OpaquePaintEvent), pictured);
        // Items that start to go beneath the picture wait for the layer to be gone.
        EXPECT_EQ(EvaporateTrigger::startsHeld(), pictured);
        for (int ms : {40, 90, 150, 210}) {
            w.stepTo(ms);
            if (ms == 90) {
                w.underCard->color = Qt::red;
                w.underCard->update();
            }
        }
        if (pictured) {
            EXPECT_EQ(w.ground->paints, ground);
            EXPECT_EQ(w.underCard->paints, underCard);
        } else {
            EXPECT_GT(w.ground->paints, ground + 3);
        }
        w.stepTo(w.presence().duration());
        if (pictured) {
            // Over its picture the layer gives the window back a band at a time, bottom first, and
            // still holds what waits beneath until the last band.
            const int full = w.host->parentWidget()->height();
            QTRY_VERIFY(w.host->isVisible() && w.host->height() < full);
            EXPECT_TRUE(EvaporateTrigger::startsHeld());
            QTRY_VERIFY(!w.host->isVisible());
            EXPECT_EQ(w.host->geometry(), w.host->parentWidget()->rect());
        }
        EXPECT_FALSE(w.host->isVisible());
        EXPECT_FALSE(EvaporateTrigger::startsHeld());
        EXPECT_FALSE(w.host->testAttribute(Qt::WA_OpaquePaintEvent));
        EXPECT_TRUE(w.host->underlay().isNull());
        QCoreApplication::processEvents();
        EXPECT_EQ(w.window.grab().toImage().pixelColor(w.underCard->geometry().center()), QColor(Qt::red));
    }
}

// A leave cut short, by a card coming back or by the layer going away, lets waiting items go.
TEST(ModalHostTest, ALeaveCutShortReleasesTheItemsItHeld) {
    enum class Cut { newCard, newCardWhileGivingBack, deleted };
    for (Cut cut : {Cut::newCard, Cut::newCardWhileGivingBack, Cut::deleted}) {
        SCOPED_TRACE(int(cut));
        UnderlayWindow w;
        w.open();
        QTRY_VERIFY(w.pictureFresh());
        w.state.setConfirm(std::nullopt);
        if (cut == Cut::newCardWhileGivingBack) {
            w.stepTo(w.presence().duration());
            QTRY_VERIFY(w.host->height() < w.host->parentWidget()->height());
        } else {
            w.stepTo(100);
        }
        ASSERT_TRUE(EvaporateTrigger::startsHeld());
        if (cut == Cut::deleted) {
            delete w.host;
        } else {
            w.state.setErrorMessage(QStringLiteral("Broken"));
            EXPECT_FALSE(w.host->drawsUnderlay());
            EXPECT_EQ(w.host->geometry(), w.host->parentWidget()->rect());
        }
        EXPECT_FALSE(EvaporateTrigger::startsHeld());
        if (cut != Cut::deleted) {
            // It comes back over the window as it is, and leaves again over a new picture.
            w.stepTo(w.presence().duration());
            QTRY_VERIFY(w.pictureFresh());
            w.state.setErrorMessage(std::nullopt);
            EXPECT_TRUE(EvaporateTrigger::startsHeld());
            w.stepTo(w.presence().duration());
            QTRY_VERIFY(!EvaporateTrigger::startsHeld());
        }
    }
}

TEST(ConfirmSheetTest, KeysAndButtonsAnswerTheRequestTheCardWasBuiltWith) {
    struct Row {
        const char* how;
        bool performs;
    };
    const Row rows[] = {
        {"return", true}, {"enter", true}, {"escape", false}, {"action", true}, {"cancel", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        ModalWindow w;
        int performed = 0;
        bool clearedFirst = false;
        w.state.setConfirm(request(QStringLiteral("Sure?"), [&] {
            ++performed;
            clearedFirst = !w.state.confirm();
        }));
        ConfirmSheet* card = w.confirmCard();
        ASSERT_TRUE(card);
        EXPECT_EQ(w.window.focusWidget(), card);  // Return and Escape reach the card
        const std::string how = row.how;
        if (how == "return") QTest::keyClick(card, Qt::Key_Return);
        if (how == "enter") QTest::keyClick(card, Qt::Key_Enter);
        if (how == "escape") QTest::keyClick(card, Qt::Key_Escape);
        if (how == "action") QTest::mouseClick(card->actionButton(), Qt::LeftButton);
        if (how == "cancel") QTest::mouseClick(card->cancelButton(), Qt::LeftButton);
        EXPECT_EQ(performed, row.performs ? 1 : 0);
        EXPECT_EQ(clearedFirst, row.performs);
        EXPECT_FALSE(w.state.confirm());
        EXPECT_EQ(w.host->shownCard(), Card::none);
    }
}

TEST(ConfirmSheetTest, AnActionThatAsksAgainShowsTheNewCard) {
    ModalWindow w;
    w.state.setConfirm(
        request(QStringLiteral("First?"), [&] { w.state.setConfirm(request(QStringLiteral("Second?"))); }));
    QTest::keyClick(w.confirmCard(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(w.state.confirm());
    ASSERT_TRUE(w.confirmCard());
    EXPECT_EQ(w.confirmCard()->titleLabel()->text(), QStringLiteral("Second?"));
}

TEST(ConfirmSheetTest, StylesFollowTheRequestAndTextsStayPlain) {
    ModalWindow w;
    w.state.setConfirm(request(QStringLiteral("<b>x</b>"), {}, true));
    EXPECT_EQ(w.confirmCard()->actionButton()->kind(), NimbrelButton::Kind::danger);
    EXPECT_EQ(w.confirmCard()->cancelButton()->kind(), NimbrelButton::Kind::ghost);
    EXPECT_EQ(w.confirmCard()->titleLabel()->textFormat(), Qt::PlainText);
    w.state.setConfirm(request(QStringLiteral("Plain")));
    EXPECT_EQ(w.confirmCard()->actionButton()->kind(), NimbrelButton::Kind::primary);

    // A long message makes the card taller, never cut.
    const int shortHeight = w.host->cardRect().height();
    ConfirmRequest tall = request(QStringLiteral("Long"));
    tall.message = QString(QStringLiteral("word ")).repeated(200);
    w.state.setConfirm(tall);
    EXPECT_GT(w.host->cardRect().height(), shortHeight + 60);
    EXPECT_EQ(w.host->cardRect().width(), SheetCard::kWidth);
}

TEST(NoticeSheetTest, ReturnClosesEscapeDoesNotAndLongTextScrolls) {
    ModalWindow w;
    w.state.setErrorMessage(QString(QStringLiteral("line\n")).repeated(80));
    NoticeSheet* card = w.noticeCard();
    ASSERT_TRUE(card);
    EXPECT_LE(card->messageScroll()->height(), NoticeSheet::kMaxMessageHeight);
    EXPECT_GT(card->messageLabel()->height(), NoticeSheet::kMaxMessageHeight);
    EXPECT_TRUE(card->messageLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    QTest::keyClick(card, Qt::Key_Escape);
    EXPECT_TRUE(w.state.errorMessage());
    QTest::keyClick(card, Qt::Key_Return);
    EXPECT_FALSE(w.state.errorMessage());
    EXPECT_EQ(w.host->shownCard(), Card::none);
}

}  // namespace
}  // namespace nimbrel
