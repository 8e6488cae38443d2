#pragma once

#include <QDateTime>
#include <QWidget>

#include "model/files_model.h"
#include "views/files/shelf_parts.h"
#include "views/kit/shelf_lists.h"

namespace nimbrel {

class AppState;
class AreaHeader;
class FileControls;
class FileListBody;
class NimbrelButton;
class PillPicker;
class Shelf;

// The big files nobody opened or changed for the chosen months.
class ForgottenShelves : public QWidget {
    Q_OBJECT
  public:
    ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    int matchCount() const;
    const FileItem& match(int i) const;
    int shown() const { return paging_.shown; }
    int months() const { return months_; }
    void setMonths(int months);
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void showMore();
    Shelf* shelfCard() const;
    NimbrelButton* moreButton() const;
    FileControls* controls() const { return controls_; }
    FileListBody* body() const { return body_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refresh(bool listChanged, bool pruned = false);
    // Reads "now" off the state's clock; true when it moved on, and with it the cutoff.
    bool followClock();
    void scheduleTick();

    AppState& state_;
    FilesModel& model_;
    FilesModel::ForgottenQuery query_;
    int months_ = 12;
    QDateTime now_;
    Paging paging_;
    FileControls* controls_;
    AreaHeader* header_;
    PillPicker* picker_;
    FileListBody* body_;
};

}  // namespace nimbrel
