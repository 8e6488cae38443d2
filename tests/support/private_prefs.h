#pragma once

#include <QString>
#include <QTemporaryDir>

#include "model/prefs.h"

namespace nimbrel {

// The preferences kept in a file of the test's own while this lives, the defaults registered; the
// shared store again after, so no test reads what another one wrote.
class PrivatePrefs {
  public:
    PrivatePrefs() {
        Prefs::useStore(dir_.filePath(QStringLiteral("prefs.ini")));
        Prefs::registerDefaults();
    }
    ~PrivatePrefs() { Prefs::useStore(QString()); }
    PrivatePrefs(const PrivatePrefs&) = delete;
    PrivatePrefs& operator=(const PrivatePrefs&) = delete;

    bool isValid() const { return dir_.isValid(); }

  private:
    QTemporaryDir dir_;
};

}  // namespace nimbrel
