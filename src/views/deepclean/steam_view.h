#pragma once

#include <QList>
#include <QWidget>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "views/deepclean/deep_clean_model.h"

class QVBoxLayout;
class QVariantAnimation;

namespace nimbrel {

class AnimatedValue;
class AppState;
class Chip;
class DrainsSection;
class ElidedLabel;
class EmptyState;
class FadingScroll;
class NimbrelButton;
class PillPicker;
class SafeHeader;
class SearchField;
class WrappingText;

// The Deep Clean area: how much can go safely and a button that selects all of it, the measured junk
// locations (each can be opened to list what it holds), the build products of the last scan, filter
// chips, a search and a sort over both lists, and the drains. Its search, filter, sort and opened
// locations live as long as the view; the shell builds a new one each time the area is shown.
class SteamView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSideInset = 32;
    static constexpr int kControlsBelow = 16;
    static constexpr int kControlsSpacing = 12;
    static constexpr int kChipSpacing = 6;
    static constexpr int kSearchWidth = 230;
    static constexpr double kFade = 28;
    static constexpr int kSectionSpacing = 32;
    static constexpr int kBottomInset = 96;

    explicit SteamView(AppState& state, QWidget* parent = nullptr);

    const DeepCleanModel& model() const { return model_; }
    const DeepCleanModel::Lists& lists() const { return lists_; }

    // The parts, for tests and the screenshot tool.
    NimbrelButton* measureButton() const { return measure_; }
    SearchField* searchField() const { return search_; }
    const QList<Chip*>& chips() const { return chips_; }
    PillPicker* sortPicker() const { return sort_; }
    SafeHeader* safeHeader() const { return header_; }
    QWidget* measuringRow() const { return measuring_; }
    QWidget* locationsShelf() const { return locationsShelf_; }
    QWidget* productsShelf() const { return productsShelf_; }
    WrappingText* scanHint() const { return hint_; }
    EmptyState* emptyState() const { return empty_; }
    DrainsSection* drains() const { return drains_; }
    FadingScroll* scroll() const { return scroll_; }

    // Opens or closes a location's contents: the row grows or shrinks along the screen's curve and
    // everything below slides with it.
    void toggle(const std::string& locationID);
    // The running height motion of a location's row, for tests; nothing while it stands still.
    QVariantAnimation* contentsMotion(const std::string& locationID) const;
    // How far a shown location's contents block has faded in (0 when it has none).
    double contentsOpacity(const std::string& locationID) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The area's parts, top to bottom, and what it follows.
    QWidget* buildControls();
    QWidget* buildContent();
    QWidget* buildMeasuring(QWidget* content);
    void followState();
    void refresh();
    QWidget* buildLocationsShelf(const DeepCleanModel::Inputs& inputs);
    QWidget* buildProductsShelf(const DeepCleanModel::Inputs& inputs);
    QWidget* makeProductRow(int index);
    // The width of a row inside a shelf, and each location cell's height at that width.
    int rowWidth() const;
    std::vector<int> locationHeights(const std::vector<LocationRow>& rows) const;
    // Hands the rows their heights as drawn now (moving ones where their motion stands).
    void relayLocations();
    void contentsArrived();
    void motionMoved(const std::string& locationID);
    int shownLocationIndex(const std::string& locationID) const;
    void selectEverythingSafe();
    void showEverything();

    AppState& state_;
    DeepCleanModel model_;
    DeepCleanModel::Lists lists_;

    NimbrelButton* measure_ = nullptr;
    SearchField* search_ = nullptr;
    QList<Chip*> chips_;
    PillPicker* sort_ = nullptr;
    FadingScroll* scroll_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    SafeHeader* header_ = nullptr;
    QWidget* measuring_ = nullptr;
    QWidget* locationsShelf_ = nullptr;
    QWidget* productsShelf_ = nullptr;
    WrappingText* hint_ = nullptr;
    EmptyState* empty_ = nullptr;
    DrainsSection* drains_ = nullptr;
    std::vector<int> locationHeights_;  // where each location row comes to rest
    // The rows the shelf's cells are built from; shared with its factory, updated on a toggle.
    std::shared_ptr<std::vector<LocationRow>> locationRows_;
    std::unordered_map<std::string, std::unique_ptr<AnimatedValue>> motions_;
    // The rows the build-junk shelf lists now; a removal closes the shelf over those that left.
    std::vector<ProductRow> productRows_;
    std::vector<DevArtifact> products_;
    bool pruning_ = false;
};

}  // namespace nimbrel
