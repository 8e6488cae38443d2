#pragma once

#include <QWidget>
#include <vector>

#include "engine/deletion.h"
#include "model/app_state.h"
#include "views/files/failure_groups.h"

class QFont;
class QHBoxLayout;
class QVBoxLayout;

namespace nimbrel {

class FileIconView;

class IconButton;
class NimbrelButton;

// What a removal left behind, grouped by why, with a way to copy the paths and to reveal each one.
// It offers no retry and removes nothing; "OK" closes it.
class FailureSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kContentWidth = 600;
    static constexpr int kPadding = 24;
    static constexpr int kListMax = 400;
    static constexpr int kRowHeight = 32;

    FailureSheet(AppState& state, std::vector<DeletionFailure> failures, QWidget* parent = nullptr);

    const std::vector<DeletionFailure>& failures() const { return failures_; }
    NimbrelButton* okButton() const { return ok_; }
    NimbrelButton* fullDiskAccessButton() const { return fullDiskAccess_; }
    // The group blocks' "Copy paths" buttons, in group order.
    const std::vector<NimbrelButton*>& groupCopyButtons() const { return groupCopy_; }
    int rowCount() const;

    QSize sizeHint() const override;
    // The host sizes the card by its hint at the card's own width.
    bool hasHeightForWidth() const override { return false; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The steps that build the sheet, top to bottom.
    QHBoxLayout* buildHeader();
    QWidget* buildGroupList();
    QVBoxLayout* buildGroupBlock(const FailureGroups::Group& group, const QFont& groupFont, QWidget* content);
    QHBoxLayout* buildFooter();

    void updateFullDiskAccess();
    void askWhichRowsAreFolders();

    AppState& state_;
    std::vector<DeletionFailure> failures_;
    QVBoxLayout* column_;
    std::vector<NimbrelButton*> groupCopy_;
    NimbrelButton* copyAll_;
    NimbrelButton* fullDiskAccess_;
    NimbrelButton* ok_;
};

// One failed path: its icon, name and second line, and the copy and reveal buttons on hover.
class FailureRow : public QWidget {
    Q_OBJECT
  public:
    FailureRow(AppState& state, DeletionFailure failure, QWidget* parent = nullptr);

    const DeletionFailure& failure() const { return failure_; }
    bool isHovering() const { return hovering_; }
    bool showsDirectoryIcon() const { return directory_; }
    // Shows the folder icon once the file system has said the path is a folder.
    void setDirectory(bool directory);
    // The second line as it shows now, one or two lines.
    QStringList detailLines() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void setHovering(bool on);

    DeletionFailure failure_;
    bool hovering_ = false;
    bool directory_ = false;
    FileIconView* icon_;
    QWidget* detail_;
    QWidget* actions_;
};

}  // namespace nimbrel
