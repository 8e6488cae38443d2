#include "views/files/files_hooks.h"

#include "views/files/failure_sheet.h"
#include "views/files/review_sheet.h"
#include "views/kit/modal_host.h"

namespace nimbrel {

void installFilesCards() {
    ModalHost::setReviewCardFactory([](AppState& state) -> QWidget* { return new ReviewSheet(state); });
    ModalHost::setFailureCardFactory(
        [](AppState& state, const std::vector<DeletionFailure>& failures) -> QWidget* {
            return new FailureSheet(state, failures);
        });
}

}  // namespace nimbrel
