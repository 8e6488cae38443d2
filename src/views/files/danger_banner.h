#pragma once

#include <QWidget>
#include <functional>

class QLayout;

namespace nimbrel {

class NimbrelCheck;
class ReviewModel;

// The review's warning about data that cannot be rebuilt: its title, a line per kind of danger
// item, and the acknowledgement that holds both removal buttons back. Built anew whenever the
// model's danger items change.
class DangerBanner : public QWidget {
    Q_OBJECT
  public:
    // `flip` gives or takes back the acknowledgement; its tick and its text both call it.
    DangerBanner(const ReviewModel& model, bool acknowledged, std::function<void()> flip, QWidget* parent);
    NimbrelCheck* acknowledgementCheck() const { return check_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLayout* buildTitle(const ReviewModel& model);
    QLayout* buildKinds(const ReviewModel& model);
    QLayout* buildAcknowledgement(bool acknowledged, const std::function<void()>& flip);

    NimbrelCheck* check_ = nullptr;
};

}  // namespace nimbrel
