#pragma once

#include <QPointer>
#include <QWidget>

#include "model/app_state.h"
#include "theme/animated_value.h"

namespace nimbrel {

class DropHint;
class NimbrelBackdrop;
class SnapshotFade;
class TopBar;

// The content of the main window: the top bar over the view of the selected section, with the
// selection bar, the drop hint, the modal layer and the toasts laid over them. A folder dropped
// anywhere on it is scanned.
class RootView : public QWidget {
    Q_OBJECT
  public:
    explicit RootView(AppState& state, QWidget* parent = nullptr);

    TopBar* topBar() const { return topBar_; }
    QWidget* detail() const { return detail_; }
    // The section the detail view was built for (no section counts as Space).
    SidebarItem detailSection() const { return detailSection_; }
    bool isDropTargeted() const { return dropTargeted_; }
    DropHint* dropHint() const { return dropHint_; }

    // Overlay slots, filled by the views that own them. The root view takes ownership, stacks them
    // (selection bar, then modal host, then toasts on top) and keeps them sized to the window; the
    // selection bar is shown only while the selection is not empty.
    void setSelectionBar(QWidget* bar);
    void setModalHost(QWidget* host);
    void setToastOverlay(QWidget* overlay);
    QWidget* selectionBar() const { return selectionBar_; }
    QWidget* modalHost() const { return modalHost_; }

    // Each time the application becomes active: re-check Full Disk Access and, outside demo mode,
    // the volume list.
    void applicationActivated();

  signals:
    void settingsRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void followSection();
    void followQueue();
    void setDropTargeted(bool targeted);
    void layoutOverlays();
    void restack();

    AppState& state_;
    NimbrelBackdrop* backdrop_;
    TopBar* topBar_;
    QWidget* detailHost_;
    QWidget* detail_ = nullptr;
    SidebarItem detailSection_ = SidebarItem::overview;
    QPointer<QWidget> fade_;  // the old view's picture while it fades out
    DropHint* dropHint_;
    AnimatedValue dropOpacity_;
    bool dropTargeted_ = false;
    bool launched_ = false;
    QPointer<QWidget> selectionBar_;
    QPointer<QWidget> modalHost_;
    QPointer<QWidget> toastOverlay_;
    AnimatedValue barShown_;
};

}  // namespace nimbrel
