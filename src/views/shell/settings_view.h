#pragma once

#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "model/app_state.h"

class QHBoxLayout;
class QScrollArea;
class QVBoxLayout;

namespace nimbrel {

struct HostLayout;
class MCard;
class NimbrelButton;
class NimbrelSwitch;
class PillPicker;
class PlainLabel;

// The Settings window's content: the scan preferences, the "Never scan" list, the menu-bar switch,
// Full Disk Access (where the system has that permission, else what the last scan could not read), the risk
// legend and the credits. Every control writes its preference at once; the controls read the preferences
// again whenever shown.
class SettingsView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 700;
    // On a screen too short for kHeight the window opens shorter (the content scrolls), down to this.
    static constexpr int kMinHeight = 400;

    struct Services {
        // A modal dialog choosing several folders; nothing when cancelled.
        std::function<std::optional<QStringList>()> chooseFolders;
        std::function<void()> openFullDiskAccessSettings;
        std::function<void(const QUrl&)> openUrl;
        // Whether this system has a Full Disk Access permission at all.
        bool showsFullDiskAccess = false;
        // Whether the desktop has a system tray now; unset means it has.
        std::function<bool()> trayAvailable;
        std::function<std::string()> home;  // for "~" in the listed paths

        static Services standard();
    };

    // One line of the credits card.
    struct Credit {
        QString title;
        QString work;  // what is credited, with its authors
        QUrl url;      // empty for our own work
        QString licence;
    };
    static std::vector<Credit> credits();

    // The size choices of "List files larger than", in bytes.
    static const std::vector<std::pair<int64_t, QString>>& sizeChoices();

    explicit SettingsView(AppState& state, QWidget* parent = nullptr);
    SettingsView(AppState& state, Services services, QWidget* parent = nullptr);

    // Reads every preference into the controls again.
    void reload();
    // Asks the desktop again whether it has a tray: without one the menu-bar switch is off limits
    // (its preference stays stored) and a line says why.
    void followTray();
    // The "Add" flow and a row's remove button.
    void addExcluded();
    void removeExcluded(const QString& path);

    // Texts that name the host's own things.
    static QString packagesTitle(const HostLayout& layout);
    static QString packagesDetail(const HostLayout& layout);
    static QString menuBarTitle(const HostLayout& layout);

    PillPicker* sizePicker() const { return sizePicker_; }
    NimbrelSwitch* packagesSwitch() const { return packages_; }
    NimbrelSwitch* hiddenSwitch() const { return hidden_; }
    NimbrelSwitch* menuBarSwitch() const { return menuBar_; }
    // The line under the menu-bar switch's title; empty while the desktop has a tray.
    QString menuBarNote() const;
    NimbrelButton* addButton() const { return add_; }
    // The excluded paths as listed (the empty-list text shows when this is empty).
    QStringList listedExclusions() const { return listed_; }
    bool showsEmptyExclusions() const;
    // The access row's title; empty when the row is not shown. Without a Full Disk Access
    // permission, the row tells what the last scan could not read.
    QString accessTitle() const;
    QWidget* accessRow() const { return accessRow_; }
    NimbrelButton* privacyButton() const { return privacy_; }
    QScrollArea* scrollArea() const { return scroll_; }

  signals:
    // A preference was written (the key); the menu-bar extra follows "showMenuBarExtra" at once.
    void preferenceChanged(const QString& key);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    // The window's parts, top to bottom.
    QHBoxLayout* header(QWidget* content);
    QWidget* scanningCard();
    QWidget* neverScanCard();
    QWidget* nimbrelCard();
    QWidget* creditsCard();

    QWidget* row(const QString& title, const QString& detail, QWidget* control,
                 PlainLabel** titleLabel = nullptr, PlainLabel** detailLabel = nullptr);
    QWidget* credit(const Credit& c);
    QWidget* riskLegend();
    void rebuildExclusions();
    void write(const char* key, const QVariant& value);
    void followAccess();
    std::string homeFolder() const;

    AppState& state_;
    Services services_;
    QWidget* backdrop_;
    QScrollArea* scroll_;
    PillPicker* sizePicker_ = nullptr;
    NimbrelSwitch* packages_ = nullptr;
    NimbrelSwitch* hidden_ = nullptr;
    NimbrelSwitch* menuBar_ = nullptr;
    PlainLabel* menuBarNote_ = nullptr;
    NimbrelButton* add_ = nullptr;
    QWidget* exclusions_ = nullptr;
    QVBoxLayout* exclusionRows_ = nullptr;
    QStringList listed_;
    PlainLabel* accessTitle_ = nullptr;
    QWidget* accessRow_ = nullptr;  // the unreadable folders' row
    NimbrelButton* privacy_ = nullptr;
};

}  // namespace nimbrel
