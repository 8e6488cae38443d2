#include "views/files/kind_line.h"

#include <QPainter>
#include <QTextLayout>
#include <cmath>

#include "theme/fonts.h"
#include "theme/palette.h"
#include "views/kit/plain_text.h"

namespace nimbrel {

KindLine::KindLine(QString lead, QString rest, QWidget* parent) : QWidget(parent), lead_(lead), rest_(rest) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setToolTip(PlainText::toolTip(lead_ + rest_));
}

int KindLine::heightForWidth(int width) const {
    return static_cast<int>(std::ceil(layOut(width).second));
}

void KindLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(Palette::ink2().resolve(this));
    auto [layout, height] = layOut(width());
    (void)height;
    for (int i = 0; i < layout->lineCount(); ++i)
        layout->lineAt(i).draw(&p, QPointF(0, 0));
}

// A line too long for two keeps its beginning and its end and loses its middle to an ellipsis (the
// kind and the reason's last words both stay readable).
std::pair<std::shared_ptr<QTextLayout>, double> KindLine::layOut(int width) const {
    const QString whole = lead_ + rest_;
    auto [layout, height, fits] = layOutText(whole, width);
    if (fits) return {layout, height};
    int lo = 0, hi = static_cast<int>(whole.size()) - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (std::get<2>(layOutText(cut(whole, mid), width)))
            lo = mid;
        else
            hi = mid - 1;
    }
    auto [cutLayout, cutHeight, cutFits] = layOutText(cut(whole, lo), width);
    (void)cutFits;
    return {cutLayout, cutHeight};
}

QString KindLine::cut(const QString& text, int keep) {
    const int head = (keep + 1) / 2;
    return text.left(head) + QStringLiteral("…") + text.right(keep - head);
}

std::tuple<std::shared_ptr<QTextLayout>, double, bool> KindLine::layOutText(const QString& text,
                                                                            int width) const {
    auto layout = std::make_shared<QTextLayout>(text, Fonts::font(11.5));
    QTextCharFormat bold;
    bold.setFont(Fonts::font(11.5, FontWeight::bold));
    layout->setFormats(
        {QTextLayout::FormatRange{0, static_cast<int>(std::min(lead_.size(), text.size())), bold}});
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->beginLayout();
    double y = 0;
    int used = 0;
    for (int i = 0; i < kMaxLines; ++i) {
        QTextLine line = layout->createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        used = line.textStart() + line.textLength();
    }
    layout->endLayout();
    return {layout, y, used >= text.size()};
}

}  // namespace nimbrel
