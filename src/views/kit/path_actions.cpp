#include "views/kit/path_actions.h"

#include <QHBoxLayout>

#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "model/app_state.h"
#include "platform/file_manager.h"
#include "theme/icon_button.h"

namespace nimbrel {

PathActions::PathActions(AppState& state, std::string path, int size, QWidget* parent)
    : QWidget(parent), state_(state), path_(std::move(path)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    copy_ = new IconButton(QStringLiteral("doc.on.doc"), size, false, this);
    copy_->setHelp(tr("Copy path"));
    reveal_ = new IconButton(QStringLiteral("magnifyingglass"), size, false, this);
    reveal_->setHelp(revealTitle());
    row->addWidget(copy_);
    row->addWidget(reveal_);
    connect(copy_, &IconButton::clicked, this, [this] { copy(state_, {path_}); });
    connect(reveal_, &IconButton::clicked, this, [this] { reveal({path_}); });
}

void PathActions::copy(AppState& state, const std::vector<std::string>& paths) {
    state.copyPaths(paths);
}

void PathActions::reveal(const std::vector<std::string>& paths) {
    FileActions::reveal(paths);
}

QString PathActions::revealTitle() {
#ifdef Q_OS_MACOS
    return tr("Show in Finder");
#else
    return tr("Show in File Manager");
#endif
}

QString PathActions::previewTitle() {
#ifdef Q_OS_MACOS
    return tr("Quick Look");
#else
    return tr("Preview");
#endif
}

QString PathActions::previewHelp() {
#ifdef Q_OS_MACOS
    return tr("Quick Look (or double-click)");
#else
    return tr("Preview (or double-click)");
#endif
}

QString PathActions::abbreviate(const std::string& path) {
    return abbreviate(path, HostLayout::judging().home);
}

QString PathActions::abbreviate(const std::string& path, const std::string& home) {
    return QString::fromStdString(PathRules::tildeForm(path, home));
}

}  // namespace nimbrel
