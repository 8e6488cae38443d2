#pragma once

namespace nimbrel {

// Hands the shell's modal host the review and failure cards. Called once the main window builds its
// root view; later calls change nothing.
void installFilesCards();

}  // namespace nimbrel
