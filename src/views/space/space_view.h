#pragma once

#include <QWidget>

#include "views/space/space_view_model.h"

class QShortcut;

namespace nimbrel {

class AppState;
class CompositionStrip;
class DiscoveringHeader;
class ExplorerHeader;
class ExplorerToolbar;
class ExplorerView;
class WelcomeHeader;

// The Space area: the welcome header over placeholders before a scan, the live top-level entries
// during one, and afterwards the explorer of the scanned tree with its header, composition strip
// and toolbar. Built afresh each time the area is entered; only the layout carries over.
class SpaceView : public QWidget {
    Q_OBJECT
  public:
    explicit SpaceView(AppState& state, QWidget* parent = nullptr);
    SpaceView(AppState& state, Clock& clock, QWidget* parent = nullptr);

    SpaceViewModel& model() { return vm_; }
    ExplorerView* explorer() const { return explorer_; }
    WelcomeHeader* welcomeHeader() const { return welcome_; }
    DiscoveringHeader* discoveringHeader() const { return discovering_; }
    ExplorerHeader* explorerHeader() const { return header_; }
    ExplorerToolbar* toolbar() const { return toolbar_; }
    CompositionStrip* strip() const { return strip_; }

  private:
    void refresh();
    void preview(const std::string& path);
    void closePreview();

    SpaceViewModel vm_;
    WelcomeHeader* welcome_;
    DiscoveringHeader* discovering_;
    QWidget* explorerTop_;
    ExplorerHeader* header_;
    CompositionStrip* strip_;
    ExplorerToolbar* toolbar_;
    ExplorerView* explorer_;
    QShortcut* up_;
    QWidget* previewCard_ = nullptr;  // the open preview, if any
};

}  // namespace nimbrel
