// The folder chooser the user grants folders with. The GUI shows a modal
// panel; the command line hands over the folders it was given.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct FolderChooserPrompt {
    std::string title;
    std::string message;
    std::string confirmButton;
};

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Folders only, several allowed, no folder creation. Absent when the
    // user did not confirm.
    virtual std::optional<std::vector<std::string>> chooseFolders(const FolderChooserPrompt& prompt) = 0;
};

}  // namespace kestrova
