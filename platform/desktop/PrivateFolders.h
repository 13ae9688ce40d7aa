// PrivateFolders: where the host keeps what only this user may see — uploads on their way into
// the library, and the file that tells later commands how to reach a running instance.
#pragma once

#include "platform/foundation/Result.h"

#include <optional>
#include <string>

namespace desktop {

// $XDG_CACHE_HOME/pagewyn, else ~/.cache/pagewyn; under the system's temporary folder, named
// after the user, when neither is known.
std::string pagewynCacheFolder();
// $XDG_CONFIG_HOME/pagewyn, else ~/.config/pagewyn: what must outlive a run (the secret store).
std::string pagewynConfigFolder();
// $XDG_RUNTIME_DIR/pagewyn when the session has a runtime folder, else nothing.
std::optional<std::string> pagewynRuntimeFolder();

// Makes the folder (and missing parents) and checks that it is a real folder of this user that
// no one else can enter, tightening its mode to 0700. An error when it is a link, another user's,
// or cannot be made.
foundation::Result<void> makePrivateFolder(const std::string& path);

}
