#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace nimbrel {

// Collects every painter complaint Qt logs while it lives (a second painter opened on one device,
// painting with an inactive painter): Qt drops such drawing, so a test that paints expects none.
class PainterWarnings {
  public:
    PainterWarnings() {
        seen().clear();
        previous_ =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type != QtDebugMsg && text.contains(QLatin1String("QPainter"))) seen() << text;
            });
    }
    ~PainterWarnings() { qInstallMessageHandler(previous_); }
    PainterWarnings(const PainterWarnings&) = delete;
    PainterWarnings& operator=(const PainterWarnings&) = delete;

    static QStringList& seen() {
        static QStringList list;
        return list;
    }
    static std::string text() { return seen().join(QLatin1Char('\n')).toStdString(); }

  private:
    QtMessageHandler previous_;
};

}  // namespace nimbrel
