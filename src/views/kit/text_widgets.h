#pragma once

#include <QWidget>
#include <functional>

#include "theme/fonts.h"
#include "views/kit/plain_label.h"

namespace nimbrel {

// A symbol before a wrapping text, both in one colour (the review's notes).
class NoteLabel : public QWidget {
    Q_OBJECT
  public:
    NoteLabel(const QString& symbol, const QString& text, const QFont& font, ColorFn color,
              QWidget* parent = nullptr);
    QString text() const;
    PlainLabel* label() const { return label_; }

  private:
    PlainLabel* label_;
};

}  // namespace nimbrel
