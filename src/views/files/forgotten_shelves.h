#pragma once

#include <QDateTime>

#include "views/files/file_shelves.h"

namespace nimbrel {

class PillPicker;

// The big files nobody opened or changed for the chosen months.
class ForgottenShelves : public FileShelves<FilesModel::ForgottenQuery> {
    Q_OBJECT
  public:
    ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    int months() const { return months_; }
    void setMonths(int months);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    const FileList& list() const override { return model_.forgotten(query_); }
    void refresh(bool listChanged, bool pruned = false) override;
    // Reads "now" off the state's clock; true when it moved on, and with it the cutoff.
    bool followClock();
    void scheduleTick();

    int months_ = 12;
    QDateTime now_;
    PillPicker* picker_;
};

}  // namespace nimbrel
