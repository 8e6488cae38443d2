#pragma once

#include <QCoreApplication>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "engine/trash_contents.h"
#include "engine/volume_info.h"
#include "model/toast.h"

class QHBoxLayout;

namespace nimbrel {

class AppState;
class ElidedLabel;
class NimbrelButton;

// The actions that bypass the selection: emptying the Trash and removing dead simulators. Each only
// asks for confirmation; the shell's confirmation card runs the operation.
struct Drains {
    Q_DECLARE_TR_FUNCTIONS(nimbrel::SteamView)

  public:
    // The Trash plate's second line: none before the Trash is measured.
    static std::optional<QString> trashValue(const std::optional<TrashUsage>& trash);
    // Whether "Empty…" has something to empty: not when the Trash was measured empty.
    static bool canEmpty(const std::optional<TrashUsage>& trash);
    // The confirmation's message: how much goes once measured, and which other volumes' Trash
    // folders it empties, by the names the volume list gives their mount points (`volumes`).
    static QString emptyTrashMessage(const std::optional<TrashUsage>& trash,
                                     const std::vector<VolumeInfo>& volumes = {});
    static ConfirmRequest emptyTrashRequest(AppState& state);
    static ConfirmRequest simulatorsRequest(AppState& state);
};

// One drain: a capsule with a symbol, a title, an optional value line and a danger button. The texts
// are shown as given.
class DrainPlate : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSpacing = 12;
    static constexpr int kLeadingInset = 12;
    static constexpr int kInset = 6;  // trailing, top and bottom

    DrainPlate(const std::string& symbol, const QString& title, const std::optional<QString>& value,
               const QString& action, std::function<void()> perform, QWidget* parent = nullptr);

    const std::string& symbol() const { return symbol_; }
    QString title() const { return title_; }
    const std::optional<QString>& value() const { return value_; }
    NimbrelButton* button() const { return button_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRectF symbolRect() const;
    double textWidth() const;

    std::string symbol_;
    QString title_;
    std::optional<QString> value_;
    NimbrelButton* button_;
};

// The "DRAINS" heading over the Trash plate and, where the simulators' folder exists, the simulators
// plate. Rebuilt whenever the Trash is measured or the simulators' folder comes or goes.
class DrainsSection : public QWidget {
    Q_OBJECT
  public:
    explicit DrainsSection(AppState& state, QWidget* parent = nullptr);

    QList<DrainPlate*> plates() const;
    // The section's heading text as shown.
    QString heading() const;

  private:
    void rebuild();

    AppState& state_;
    ElidedLabel* heading_;
    QHBoxLayout* row_;
};

}  // namespace nimbrel
