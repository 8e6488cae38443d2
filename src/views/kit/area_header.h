#pragma once

#include <QWidget>
#include <optional>

#include "model/app_state.h"

namespace nimbrel {

class ElidedLabel;
class AreaTabs;
class PressButton;

// The header at the top of the Files shelves and the Deep Clean screen: the area's sections as large
// tab titles (the selected one heavier and underlined), a one-line caption and the screen's own
// controls on the right.
class AreaHeader : public QWidget {
    Q_OBJECT
  public:
    // `subtitle`, when given (even empty), replaces the section's caption. The header takes ownership
    // of `trailing`, which may be null.
    AreaHeader(AppState& state, std::optional<QString> subtitle = std::nullopt, QWidget* trailing = nullptr,
               QWidget* parent = nullptr);

    void setSubtitle(std::optional<QString> subtitle);
    QString caption() const;
    AreaTabs* tabs() const { return tabs_; }

  private:
    void followState();

    AppState& state_;
    std::optional<QString> subtitle_;
    AreaTabs* tabs_;
    ElidedLabel* caption_;
};

// The tab row of an area header: one title per section of the current area, each a button that
// takes the keyboard focus (pressed with Return or Space) while the area has several sections.
class AreaTabs : public QWidget {
    Q_OBJECT
  public:
    static constexpr double kTitleSize = 25;
    static constexpr double kSpacing = 16;
    static constexpr double kUnderlineHeight = 3;
    static constexpr double kUnderlineGap = 6;

    explicit AreaTabs(AppState& state, QWidget* parent = nullptr);

    const std::vector<SidebarItem>& items() const { return items_; }
    bool isSelected(SidebarItem item) const;
    // Pressable only when the area has more than one section.
    bool isPressable() const { return items_.size() > 1; }
    bool hasUnderline() const;
    QRectF titleRect(SidebarItem item) const;
    QFont titleFont(SidebarItem item) const;
    // The titles' common baseline.
    double baseline() const;
    PressButton* tab(SidebarItem item) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void followState();
    void placeTabs();

    AppState& state_;
    std::vector<SidebarItem> items_;
    std::vector<PressButton*> tabs_;
};

}  // namespace nimbrel
