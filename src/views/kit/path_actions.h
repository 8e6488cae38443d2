#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

namespace nimbrel {

class AppState;
class IconButton;

// The pair of small buttons that act on one absolute path: copy it to the clipboard and show it in
// the file manager. The explorer header and the removal's failure rows share them, and the tiles'
// context menus call the same two operations.
class PathActions : public QWidget {
    Q_OBJECT
  public:
    PathActions(AppState& state, std::string path, int size, QWidget* parent = nullptr);

    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }
    IconButton* copyButton() const { return copy_; }
    IconButton* revealButton() const { return reveal_; }

    // The state's copyPaths: the paths on the clipboard one a line, and a toast ("Copied ~/a" or
    // "Copied 3 paths"). An empty list does nothing.
    static void copy(AppState& state, const std::vector<std::string>& paths);
    static void reveal(const std::vector<std::string>& paths);
    // "Show in Finder" on macOS; elsewhere the host's file manager is named.
    static QString revealTitle();
    // The in-app preview: "Quick Look" on macOS, a plain "Preview" where that name means nothing.
    static QString previewTitle();
    static QString previewHelp();
    // The path with a leading home folder written as "~".
    static QString abbreviate(const std::string& path);
    static QString abbreviate(const std::string& path, const std::string& home);

  private:
    AppState& state_;
    std::string path_;
    IconButton* copy_;
    IconButton* reveal_;
};

}  // namespace nimbrel
