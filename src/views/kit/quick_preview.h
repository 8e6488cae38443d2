#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QThreadPool;

namespace nimbrel {

// What the preview found in a file: a picture scaled to fit, the start of a text, or neither.
struct PreviewContent {
    QImage image;
    QString text;
    int64_t size = -1;  // -1: the file could not be read

    // Reads at most the first 64 KiB of text, decodes images scaled down to `fit` and never runs or
    // opens the file in another program. Safe on a worker thread.
    static PreviewContent load(const std::string& path, QSize fit);
};

// The in-app stand-in for the system's quick preview: the file's picture or first lines, else its
// icon, with its name and folder. Escape, Space or a click closes it.
class QuickPreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 360;

    // The file is read on `pool` (default: the shared user-initiated pool).
    QuickPreview(const std::string& path, std::function<void()> close, QWidget* parent = nullptr,
                 QThreadPool* pool = nullptr);
    bool isLoaded() const { return loaded_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void show(const PreviewContent& content);

    std::function<void()> close_;
    QWidget* body_;
    bool loaded_ = false;
};

}  // namespace nimbrel
