#pragma once

#include <QPushButton>
#include <QWidget>

#include "shell_state_support.h"
#include "support/motion_scopes.h"

namespace nimbrel::testing {

// A shown window of `size` with a button under a `Layer` (the modal host, the toasts) that covers
// the whole window; animations end at once.
template <typename Layer>
struct LayerWindow {
    InstantAnimations instant;
    ShellState shell;
    AppState& state = *shell.state;
    QWidget window;
    QPushButton* content = new QPushButton(QStringLiteral("content"), &window);
    Layer* layer = new Layer(state, &window);

    explicit LayerWindow(QSize size) {
        window.resize(size);
        layer->setGeometry(window.rect());
        window.show();
    }
};

}  // namespace nimbrel::testing
