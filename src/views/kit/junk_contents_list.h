#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/junk_location.h"
#include "model/app_state.h"

namespace nimbrel {

class CleanupModel;
class NimbrelLoader;

// What one junk location holds, one 26-point line per entry, largest first, up to a limit; a
// loading line until the listing arrives. Read-only under a review row; with ticks on the Deep Clean
// screen, where unticking one entry of a location selected as a whole selects the rest instead.
// Painted as one widget: a location can hold thousands of entries. With ticks it is one stop of the
// keyboard: the arrows go from entry to entry and Space ticks the current one.
class JunkContentsList : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLineHeight = 26;

    // The lines for a listing: the loading line, "Already empty", the entries shown and the
    // "and N more" line with the size of what it stands for.
    struct Plan {
        bool loading = false;
        bool empty = false;
        int shown = 0;
        int more = 0;
        int64_t moreSize = 0;
        int lines() const { return loading || empty ? 1 : shown + (more > 0 ? 1 : 0); }
    };
    static Plan plan(const std::vector<JunkEntry>* entries, int limit);
    static int heightFor(const std::vector<JunkEntry>* entries, int limit);
    static int heightFor(const CleanupModel& cleanup, const JunkLocation& location, int limit);

    // The entries a list shows instead of the cleanup model's listing (the targets an open review
    // pinned); none: the model's listing, asked for when the list is first shown.
    using Pinned = std::function<const std::vector<JunkEntry>*()>;

    JunkContentsList(AppState& state, JunkLocation location, int limit, bool selectable, Pinned pinned = {},
                     QWidget* parent = nullptr);

    const JunkLocation& location() const { return location_; }
    Plan currentPlan() const;
    // The text of the line at `index` (entry names, the loading or empty line, the more line).
    QString lineText(int index) const;
    // What a tick click does for the entry at `index`.
    void toggle(int index);
    // The entry the keyboard is on.
    int currentLine() const { return current_; }
    static void toggle(AppState& state, const JunkLocation& location, const JunkEntry& entry,
                       const std::vector<JunkEntry>& all);
    static CleanItem itemFor(const JunkEntry& entry);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    const std::vector<JunkEntry>* entries() const;
    // What selects the entry at `path` other than itself (the location as a whole, or a folder
    // selected elsewhere that holds it), as its tick's help names it.
    std::optional<QString> includedBy(const std::string& path) const;
    void contentsChanged();
    void requestLoad();
    int entryAt(const QPoint& pos) const;
    QRectF tickRect(int index) const;
    void paintTick(QPainter& p, const QRectF& box, bool on, bool faded);

    AppState& state_;
    JunkLocation location_;
    int limit_;
    bool selectable_;
    Pinned pinned_;
    NimbrelLoader* loader_;
    int current_ = 0;
};

}  // namespace nimbrel
