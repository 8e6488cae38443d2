#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "views/files/shelf_lists.h"

class QVBoxLayout;

namespace nimbrel {

class AreaHeader;
class Chip;
class FileControls;
class NimbrelButton;
class PillPicker;
class SearchField;
class Shelf;

using PreviewAction = std::function<void(const std::string& path)>;

// The Files area: the shelf of the selected section (Biggest, Forgotten or Twins), built afresh on
// every change of section, and the one preview the shelves open.
class FilesView : public QWidget {
    Q_OBJECT
  public:
    explicit FilesView(AppState& state, QWidget* parent = nullptr);
    QWidget* shelf() const { return shelf_; }
    const std::optional<std::string>& previewPath() const { return preview_; }
    void setPreviewPath(std::optional<std::string> path);

  private:
    void showSection();

    AppState& state_;
    QVBoxLayout* column_;
    QWidget* shelf_ = nullptr;
    std::optional<SidebarItem> shown_;
    std::optional<std::string> preview_;
    QWidget* previewCard_ = nullptr;
};

// Every file of the scan, heaviest first by default, with category chips, a package switch, a path
// filter, an order and paging by 48.
class BiggestShelves : public QWidget {
    Q_OBJECT
  public:
    BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    const std::vector<FileItem>& matches() const { return matches_; }
    int shown() const { return paging_.shown; }
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void setHidePackages(bool hide);
    void showMore();
    Shelf* shelfCard() const { return shelf_; }
    NimbrelButton* moreButton() const { return more_; }
    QString subtitle() const;

  private:
    void rebuild();
    void rebuildChips();

    AppState& state_;
    PreviewAction preview_;
    QString search_;
    FileSort sort_ = FileSort::size;
    bool hidePackages_ = false;
    Paging paging_;
    std::vector<FileItem> matches_;
    AreaHeader* header_;
    std::vector<Chip*> chips_;
    QWidget* body_;
    Shelf* shelf_ = nullptr;
    NimbrelButton* more_ = nullptr;
};

// The big files nobody opened or changed for the chosen months.
class ForgottenShelves : public QWidget {
    Q_OBJECT
  public:
    ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    const std::vector<FileItem>& matches() const { return matches_; }
    int shown() const { return paging_.shown; }
    int months() const { return months_; }
    void setMonths(int months);
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void showMore();
    Shelf* shelfCard() const { return shelf_; }
    NimbrelButton* moreButton() const { return more_; }

  private:
    void rebuild();

    AppState& state_;
    PreviewAction preview_;
    int months_ = 12;
    QString search_;
    FileSort sort_ = FileSort::size;
    Paging paging_;
    std::vector<FileItem> matches_;
    AreaHeader* header_;
    PillPicker* picker_;
    QWidget* body_;
    Shelf* shelf_ = nullptr;
    NimbrelButton* more_ = nullptr;
};

// The twin search: start, progress, stop, and the sets of identical files with their extra copies.
class TwinShelves : public QWidget {
    Q_OBJECT
  public:
    enum class Content { running, intro, noTwins, results };

    TwinShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    Content content() const;
    std::vector<DuplicateGroup> groups() const;
    QString subtitle() const;
    void setSearch(const QString& search);
    void setSort(Twins::Sort sort);
    void setMinSize(SizeThreshold size);
    SizeThreshold minSize() const { return minSize_; }
    void startSearch();
    void selectEveryExtra();
    int shownSets() const { return shownSets_; }

  private:
    void rebuild();
    void rebuildHeader();

    AppState& state_;
    PreviewAction preview_;
    SizeThreshold minSize_ = SizeThreshold::mb10;
    QString search_;
    Twins::Sort sort_ = Twins::Sort::extra;
    AreaHeader* header_;
    QWidget* trailing_;
    QWidget* body_;
    std::optional<Content> builtFor_;
    bool refocusSearch_ = false;
    int shownSets_ = 0;
};

}  // namespace nimbrel
