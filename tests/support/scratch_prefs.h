#pragma once

#include <QTemporaryDir>

#include "model/prefs.h"

namespace nimbrel::testing {

// Settings kept in a folder of the test's own while this lives, the user's store again after: a
// test never reads or writes the settings of whoever runs it. Declared before the states that use
// it, it outlives them.
class ScratchPrefs {
  public:
    ScratchPrefs() { Prefs::useStore(dir_.filePath(QStringLiteral("prefs.ini"))); }
    ~ScratchPrefs() { Prefs::useStore(QString()); }
    ScratchPrefs(const ScratchPrefs&) = delete;
    ScratchPrefs& operator=(const ScratchPrefs&) = delete;

  private:
    QTemporaryDir dir_;
};

}  // namespace nimbrel::testing
